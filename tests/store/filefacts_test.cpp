#include "store/filefacts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "store/error.h"
#include "store/filerecords.h"
#include "support/fixtures.h"

TEST(FileFacts, ReadOnlyLengthAndHidden) {
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("a.mp3"));
    const QString hidden = dir.filePath(QStringLiteral(".b.mp3"));
    WriteBytes(plain, {});
    WriteBytes(hidden, QByteArray(4194304, 'x'));
    SetReadOnly(hidden, true);

    const FileFacts a = GetFileFacts(plain);
    EXPECT_EQ(a, (FileFacts{false, 0, false, false}));
    const FileFacts b = GetFileFacts(hidden);
    EXPECT_TRUE(b.ReadOnly);  // owner write bit clear, even though root may write
    EXPECT_EQ(b.Length, 4194304);
    EXPECT_TRUE(b.Hidden);
    EXPECT_THROW(GetFileFacts(dir.filePath(QStringLiteral("gone.mp3"))), StoreError);
}

TEST(FileFacts, ArchiveBitFromDosAttributes) {
    EXPECT_TRUE(ArchiveFromDosAttrib("0x20"));
    EXPECT_TRUE(ArchiveFromDosAttrib(QByteArray("0x21\0", 5)));
    EXPECT_FALSE(ArchiveFromDosAttrib("0x1"));
    // version 1: version, level, attrib
    EXPECT_TRUE(ArchiveFromDosAttrib(QByteArray("\x01\x00\x01\x00\x20\x00\x00\x00", 8)));
    // version 4: version, level, valid flags, attrib
    EXPECT_TRUE(
        ArchiveFromDosAttrib(QByteArray("\x04\x00\x04\x00\x01\x00\x00\x00\x20\x00\x00\x00", 12)));
    EXPECT_FALSE(
        ArchiveFromDosAttrib(QByteArray("\x04\x00\x04\x00\x20\x00\x00\x00\x01\x00\x00\x00", 12)));
    EXPECT_FALSE(ArchiveFromDosAttrib("garbage"));
    EXPECT_TRUE(ArchiveFromNtfsAttribBE(QByteArray("\x00\x00\x00\x20", 4)));
    EXPECT_FALSE(ArchiveFromNtfsAttribBE(QByteArray("\x20\x00\x00\x00", 4)));
}

TEST(FileFacts, ArchiveBitIsReadFromTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.mp3"));
    WriteBytes(path, "x");
    if (::setxattr(QFile::encodeName(path).constData(), "user.DOSATTRIB", "0x20", 4, 0) != 0)
        GTEST_SKIP() << "the temporary folder keeps no user extended attributes";
    EXPECT_TRUE(GetFileFacts(path).Archive);
    EXPECT_TRUE(ReadFileRecords(path).facts.Archive);
}

TEST(FileNames, TheEightForbiddenCharactersAndNothingElse) {
    EXPECT_TRUE(IsValidFileName(QString()));
    EXPECT_TRUE(IsValidFileName(QStringLiteral("周杰伦-晴天.mp3")));
    EXPECT_TRUE(IsValidFileName(QStringLiteral("Band\\Hello.mp3")));
    EXPECT_TRUE(IsValidFileName(QStringLiteral("trailing dot. ")));
    for (const QString c : {"/", ":", "*", "?", "\"", "<", ">", "|"}) {
        EXPECT_FALSE(IsValidFileName(c + QStringLiteral("a.mp3"))) << c.toStdString();
        EXPECT_FALSE(IsValidFileName(QStringLiteral("a") + c + QStringLiteral("b")))
            << c.toStdString();
        EXPECT_FALSE(IsValidFileName(QStringLiteral("a.mp3") + c)) << c.toStdString();
    }
    EXPECT_EQ(JoinPath(QStringLiteral("/music"), QStringLiteral("a.mp3")),
              QStringLiteral("/music/a.mp3"));
    EXPECT_EQ(JoinPath(QStringLiteral("/"), QStringLiteral("a.mp3")), QStringLiteral("/a.mp3"));
}

TEST(FileRecords, OneOpenGivesWhatTheThreeRoutinesGive) {
    QTemporaryDir dir;
    const QList<QByteArray> files = {
        {},                                                          // empty
        QByteArray("ID3"),                                           // a header cut short
        V1Bytes("only v1"),                                          // exactly 128 bytes
        V2Tag(V2Text("TIT2", "both")) + Audio(500) + V1Bytes("v1"),  // small, both tags
        V2Tag(V2Text("TIT2", QByteArray(5000, 't')), 100) + Audio(70000) + V1Bytes("big"),
        Audio(10000),  // neither tag
    };
    for (int i = 0; i < files.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("%1.mp3").arg(i));
        WriteBytes(path, files.at(i));
        const FileRecords records = ReadFileRecords(path);
        EXPECT_EQ(records.v1, ReadID3v1Tag(path)) << i;
        EXPECT_EQ(records.v2, ReadID3v2Tag(path)) << i;
        EXPECT_EQ(records.facts, GetFileFacts(path)) << i;
    }
    EXPECT_THROW(ReadFileRecords(dir.filePath(QStringLiteral("gone.mp3"))), StoreError);
}

TEST(FileRecords, PipesAndFoldersAreErrorsNotHangs) {
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.mp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    EXPECT_THROW(ReadFileRecords(pipe), StoreError);
    EXPECT_THROW(ReadID3v1Tag(pipe), StoreError);
    EXPECT_THROW(ReadID3v2Tag(pipe), StoreError);
    EXPECT_THROW(WriteID3v1Tag(pipe, NoID3v1Tag()), StoreError);
    EXPECT_THROW(WriteID3v2Tag(pipe, ID3v2Tag()), StoreError);
    QDir(dir.path()).mkdir(QStringLiteral("folder.mp3"));
    EXPECT_THROW(ReadFileRecords(dir.filePath(QStringLiteral("folder.mp3"))), StoreError);
}
