#pragma once

// The case of names that are not UTF-8: in a folder whose own name is 旧歌 in
// code page 936, the file 晴天.mp3 in code page 936 (kGbkSunny) beside a file
// literally named with four U+FFFD (kFffdName), which is what a lossy
// decoding makes of the first. Editing or renaming the first must never
// touch the second. Shared by the batch, window and command-line tests.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/fileio.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

class ExactNameFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        ASSERT_TRUE(program.isValid());
        SetProgramFolder(program.path());
        folderBytes = Native(temp.path()) + "/" + Gbk(QStringLiteral("旧歌"));
        MakeFolderNative(folderBytes);
        WriteNative(Bytes(kGbkSunny), gbkSong);
        WriteNative(Bytes(kFffdName), fffdSong);
        folder = fileio::NameFromNative(folderBytes);
        gbkName = fileio::NameFromNative(kGbkSunny);
        fffdName = fileio::NameFromNative(kFffdName);
    }
    void TearDown() override {
        SetProgramFolder({});
        RemoveTreeNative(folderBytes);
    }

    // The path of `name` in the folder, as bytes.
    QByteArray Bytes(const QByteArray& name) const { return folderBytes + "/" + name; }
    // The U+FFFD file is exactly as it was made, and nothing else appeared
    // but `others`.
    void ExpectFffdUntouched(QList<QByteArray> others = {kGbkSunny}) const {
        EXPECT_EQ(ReadNative(Bytes(kFffdName)), fffdSong);
        others.append(kFffdName);
        std::sort(others.begin(), others.end());
        EXPECT_EQ(ListNative(folderBytes), others);
    }

    QTemporaryDir temp;
    QTemporaryDir program;
    QByteArray folderBytes;
    QString folder;  // exact
    QString gbkName;
    QString fffdName;
    const QByteArray gbkSong =
        Audio(300) + V1Bytes(Gbk(QStringLiteral("晴天")), "Jay", "Ye Hui Mei", "2003");
    const QByteArray fffdSong = Audio(400) + V1Bytes("Other", "Someone");
    const QString gbkShown = QStringLiteral("晴天.mp3（非 UTF-8 文件名）");
};
