#pragma once

// A folder of MP3s for the renaming tests: a fresh folder per test, the
// program's folder pointed at another, and MP3s whose bytes are unique to
// their names, so a test can tell where each file went.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/programfolder.h"
#include "support/fixtures.h"

class RenameFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(program.path());
    }
    void TearDown() override { SetProgramFolder({}); }

    QString Path(const QString& name) const { return dir.filePath(name); }
    // The file's name, stand-in audio, then `tag` (no tag when empty).
    QByteArray Mp3(const QString& name, const QByteArray& tag) {
        const QByteArray bytes = name.toUtf8() + Audio(200) + tag;
        WriteBytes(Path(name), bytes);
        return bytes;
    }

    QTemporaryDir dir;
    QTemporaryDir program;
};
