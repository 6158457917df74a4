#pragma once

// A folder of test MP3s in a QTemporaryDir, with the program's folder (for
// the ID3v2 writer's scratch file) pointed into it. Shared by the tests of
// the edit runs, of the editors' windows and of the command line.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "batch/tickedfiles.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

class EditFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        QDir(temp_.path()).mkdir(QStringLiteral("program"));
        QDir(temp_.path()).mkdir(QStringLiteral("music"));
        SetProgramFolder(temp_.filePath(QStringLiteral("program")));
    }
    void TearDown() override { SetProgramFolder(QString()); }

    QString folder() const { return temp_.filePath(QStringLiteral("music")); }
    QString path(const QString& name) const { return folder() + QLatin1Char('/') + name; }
    void put(const QString& name, const QByteArray& bytes) { WriteBytes(path(name), bytes); }
    QByteArray bytes(const QString& name) const { return ReadBytes(path(name)); }
    // The last 128 bytes of a file.
    QByteArray tail(const QString& name) const { return bytes(name).right(128); }
    TickedFiles ticked(const QStringList& names) const { return {folder(), names}; }

    QTemporaryDir temp_;
};
