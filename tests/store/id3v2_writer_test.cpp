#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "store/error.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

namespace {

class ID3v2Writer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(programDir.isValid() && dir.isValid());
        SetProgramFolder(programDir.path());
    }
    void TearDown() override { SetProgramFolder({}); }

    QString path(const QString& name = QStringLiteral("song.mp3")) const {
        return dir.filePath(name);
    }
    // Everything in the MP3's folder besides the MP3 files the test made.
    QStringList strayFiles() const {
        return QDir(dir.path())
            .entryList(QDir::Files | QDir::Hidden | QDir::System)
            .filter(QStringLiteral(".tamberlo"));
    }

    QTemporaryDir programDir;
    QTemporaryDir dir;
};

ID3v2Tag Titled(const QString& title) {
    ID3v2Tag tag;
    tag.TIT2 = title;
    return tag;
}

}  // namespace

TEST(ID3v2Layout, SynchsafeSizes) {
    using B = std::array<quint8, 4>;
    EXPECT_EQ(EncodeSynchsafeSize(257), (B{0, 0, 2, 1}));
    EXPECT_EQ(EncodeSynchsafeSize(136), (B{0, 0, 1, 8}));
    EXPECT_EQ(EncodeSynchsafeSize(40000), (B{0, 2, 0x38, 0x40}));
    EXPECT_EQ(EncodeSynchsafeSize(kMaxSynchsafeSize), (B{0x7F, 0x7F, 0x7F, 0x7F}));
    EXPECT_THROW(EncodeSynchsafeSize(kMaxSynchsafeSize + 1), std::out_of_range);
    EXPECT_THROW(EncodeSynchsafeSize(-1), std::out_of_range);
}

TEST(ID3v2Layout, TwelveFramesInOrderWithoutPadding) {
    const QByteArray frames = RenderID3v2Frames(ID3v2Tag());
    // 12 headers, 11 encoding bytes, 4 more COMM bytes, the WXXX description's end
    EXPECT_EQ(frames.size(), 137);
    QList<QByteArray> ids;
    for (int at = 0; at < frames.size();) {
        ids.append(frames.mid(at, 4));
        at += 10 + DecodeSizeBytes(reinterpret_cast<const quint8*>(frames.constData()) + at + 4);
    }
    EXPECT_EQ(ids, (QList<QByteArray>{"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK", "COMM",
                                      "TCOM", "TCOP", "TENC", "TOPE", "WXXX"}));
    EXPECT_EQ(RenderID3v2Header(137), QByteArray("ID3\x03\x00\x00\x00\x00\x01\x09", 10));
}

TEST(ID3v2Layout, FrameBytes) {
    ID3v2Tag tag;
    tag.TIT2 = QStringLiteral("abc");
    tag.COMM = QStringLiteral("abc");
    tag.TPE1 = QStringLiteral("周杰");  // four bytes of CP936
    tag.TCOP = QString(200, QLatin1Char('c'));
    const QByteArray frames = RenderID3v2Frames(tag);
    // id, size, flags, encoding, text
    EXPECT_EQ(frames.left(14), QByteArray("TIT2"
                                          "\x00\x00\x00\x04"
                                          "\x00\x00"
                                          "\x00"
                                          "abc",
                                          14));
    EXPECT_EQ(frames.mid(14, 8), QByteArray("TPE1\x00\x00\x00\x05", 8));
    // id, size, flags, encoding, language, empty description, text
    const int comm = frames.indexOf("COMM");
    EXPECT_EQ(frames.mid(comm, 18), QByteArray("COMM"
                                               "\x00\x00\x00\x08"
                                               "\x00\x00"
                                               "\x00"
                                               "\x00\x00\x00"
                                               "\x00"
                                               "abc",
                                               18));
    // Frame sizes are plain numbers: 201 is 00 00 00 C9.
    EXPECT_EQ(frames.mid(frames.indexOf("TCOP"), 8), QByteArray("TCOP\x00\x00\x00\xC9", 8));
}

TEST(ID3v2Layout, TextsOutsideTheCodePageAreWrittenAsUtf16AndLinksAsUrls) {
    ID3v2Tag tag;
    tag.TIT2 = QStringLiteral("\U0001F3B5");
    tag.COMM = QStringLiteral("ข");  // Thai: not in code page 936
    tag.WXXX = QStringLiteral("http://例.cn/\U0001F3B5");
    const QByteArray frames = RenderID3v2Frames(tag);
    // id, size, flags, encoding 1, mark, the surrogate pair
    EXPECT_EQ(frames.left(17), QByteArray("TIT2\x00\x00\x00\x07\x00\x00"
                                          "\x01\xFF\xFE\x3C\xD8\xB5\xDF",
                                          17));
    // enc 1, language, empty description (mark and terminator), text
    const int comm = frames.indexOf("COMM");
    EXPECT_EQ(frames.mid(comm + 10, 12), QByteArray("\x01\x00\x00\x00\xFF\xFE\x00\x00"
                                                    "\xFF\xFE\x02\x0E",
                                                    12));
    // enc 0, empty description, the URL: CP936 where it can, else percent-encoded UTF-8
    EXPECT_EQ(frames.mid(frames.indexOf("WXXX") + 10),
              QByteArray("\x00\x00http://", 9) + Gbk(QStringLiteral("例")) + ".cn/%F0%9F%8E%B5");
    const ID3v2Tag read = ParseID3v2Tag(RenderID3v2Header(frames.size()) + frames);
    EXPECT_EQ(read.TIT2, tag.TIT2);
    EXPECT_EQ(read.COMM, tag.COMM);
}

TEST(ID3v2Layout, WrittenTagReadsBackAsWritten) {
    ID3v2Tag tag;
    tag.TIT2 = QStringLiteral("晴天 ");
    tag.TPE1 = QStringLiteral("周杰伦");
    tag.TALB = QStringLiteral("叶惠美");
    tag.TYER = QStringLiteral("2003");
    tag.TCON = QStringLiteral("Pop");
    tag.TRCK = QStringLiteral("3");
    tag.COMM = QStringLiteral("备注");
    tag.TCOM = QStringLiteral("c");
    tag.TOPE = QStringLiteral("o");
    tag.TCOP = QStringLiteral("©");  // not in CP936: written as UTF-16
    tag.WXXX = QStringLiteral("http://example.invalid");
    tag.TENC = QStringLiteral("e");
    const QByteArray frames = RenderID3v2Frames(tag);
    ID3v2Tag read = ParseID3v2Tag(RenderID3v2Header(frames.size()) + frames);
    EXPECT_EQ(read.Size, frames.size());
    tag.Present = true;
    tag.Version = QStringLiteral("3.0    ");
    tag.Size = read.Size;
    EXPECT_EQ(read, tag);
}

TEST_F(ID3v2Writer, AFileWithoutATagGetsOneInFrontOfEveryByte) {
    const QByteArray old = Audio(5000) + V1Bytes("v1 title");
    WriteBytes(path(), old);
    EXPECT_TRUE(WriteID3v2Tag(path(), ReadID3v2Tag(path())));
    const QByteArray after = ReadBytes(path());
    EXPECT_EQ(after.size(), 147 + old.size());
    EXPECT_EQ(after.mid(147), old);  // audio and the ID3v1 tag carried over
    EXPECT_TRUE(QFile::exists(programDir.filePath(QStringLiteral("tempv2"))));
    EXPECT_FALSE(QFile::exists(programDir.filePath(QStringLiteral("temp"))));
    EXPECT_EQ(ReadBytes(programDir.filePath(QStringLiteral("tempv2"))), after.mid(10, 137));
}

TEST_F(ID3v2Writer, AnOldTagIsReplacedItsOtherFramesAndEverythingAfterItKept) {
    const QByteArray audio = Audio(3000);
    WriteBytes(path(),
               V2Tag(V2Text("TIT2", "old") + V2Text("APIC", QByteArray(900, 'p')), 75) + audio);
    ID3v2Tag tag = ReadID3v2Tag(path());
    ASSERT_EQ(tag.Size, 1000);
    tag.TIT2 = QStringLiteral("new");
    WriteID3v2Tag(path(), tag);
    const QByteArray after = ReadBytes(path());
    EXPECT_EQ(after.mid(after.size() - 3000), audio);
    const ID3v2Tag read = ReadID3v2Tag(path());
    EXPECT_EQ(read.TIT2, QStringLiteral("new"));
    EXPECT_EQ(read.Size + 10 + 3000, after.size());  // no padding
    // The picture follows the twelve, its bytes unchanged.
    const ID3v2Contents contents = ParseID3v2Contents(after);
    ASSERT_EQ(contents.frames.size(), 13);
    EXPECT_EQ(contents.frames.back().id, QByteArray("APIC"));
    EXPECT_EQ(contents.frames.back().payload, '\0' + QByteArray(900, 'p'));
}

TEST_F(ID3v2Writer, ShorterRewriteSizesTheTagToItsOwnFrames) {
    WriteBytes(path(), Audio(2000));
    ID3v2Tag tag = ReadID3v2Tag(path());
    tag.COMM = QString(300, QLatin1Char('c'));
    WriteID3v2Tag(path(), tag);
    tag = ReadID3v2Tag(path());
    tag.COMM = QStringLiteral("short");
    WriteID3v2Tag(path(), tag);
    const ID3v2Tag read = ReadID3v2Tag(path());
    EXPECT_EQ(read.Size, 137 + 5);
    EXPECT_EQ(ReadBytes(path()).size(), 147 + 5 + 2000);
    EXPECT_EQ(ReadBytes(path()).mid(152), Audio(2000));
}

TEST_F(ID3v2Writer, KeepsPermissionsAndRewritesTheTargetOfALink) {
    WriteBytes(path(QStringLiteral("real.mp3")), Audio(4000));
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("real.mp3"))).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("real.mp3")), path(QStringLiteral("link.mp3"))));
    WriteID3v2Tag(path(QStringLiteral("link.mp3")), Titled(QStringLiteral("via link")));

    EXPECT_TRUE(QFileInfo(path(QStringLiteral("link.mp3"))).isSymLink());
    EXPECT_EQ(ReadID3v2Tag(path(QStringLiteral("real.mp3"))).TIT2, QStringLiteral("via link"));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path(QStringLiteral("real.mp3"))).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(strayFiles().isEmpty());
}

TEST_F(ID3v2Writer, KeepsExtendedAttributes) {
    WriteBytes(path(), Audio(4000));
    const QByteArray native = QFile::encodeName(path());
    const QByteArray dos("0x20", 4);
    if (::setxattr(native.constData(), "user.DOSATTRIB", dos.constData(), dos.size(), 0) != 0)
        GTEST_SKIP() << "no user extended attributes on this file system";
    ASSERT_EQ(::setxattr(native.constData(), "user.xdg.tags", "粤语", 6, 0), 0);
    WriteID3v2Tag(path(), Titled(QStringLiteral("tagged")));

    char value[16] = {};
    EXPECT_EQ(::getxattr(native.constData(), "user.DOSATTRIB", value, sizeof value), 4);
    EXPECT_EQ(QByteArray(value), dos);
    EXPECT_EQ(::getxattr(native.constData(), "user.xdg.tags", value, sizeof value), 6);
    EXPECT_EQ(ReadID3v2Tag(path()).TIT2, QStringLiteral("tagged"));
}

TEST_F(ID3v2Writer, AnOldTagLargerThanTheFileIsRefused) {
    // The header claims 1000 bytes of tag, the file holds 300.
    const QByteArray old = QByteArray("ID3\x03\x00\x00\x00\x00\x07\x68", 10) + Audio(290);
    WriteBytes(path(), old);
    const ID3v2Tag tag = ReadID3v2Tag(path());
    ASSERT_EQ(tag.Size, 1000);
    EXPECT_THROW(WriteID3v2Tag(path(), tag), StoreError);
    EXPECT_EQ(ReadBytes(path()), old);
    EXPECT_TRUE(strayFiles().isEmpty());
}

TEST_F(ID3v2Writer, TextsTooLargeForTheSizeFieldsAreRefusedBeforeWriting) {
    WriteBytes(path(), Audio(100));
    ID3v2Tag tag;
    tag.TENC = QString(kMaxSynchsafeSize, QLatin1Char('e'));  // payload 2^28 with its encoding byte
    EXPECT_THROW(WriteID3v2Tag(path(), tag), StoreError);
    EXPECT_EQ(ReadBytes(path()), Audio(100));
    EXPECT_FALSE(QFile::exists(programDir.filePath(QStringLiteral("tempv2"))));
}

TEST_F(ID3v2Writer, AWriteThatFailsMidwayLeavesTheOriginalAndNoTemporaryFile) {
    const QByteArray old = V2Tag(V2Text("TIT2", "keep me")) + Audio(200000);
    WriteBytes(path(), old);
    // Limit the size of any file this process writes: the new copy fails part
    // way through (EFBIG), as it would on a full disk.
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 50000;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    ID3v2Tag tag = ReadID3v2Tag(path());
    tag.TIT2 = QStringLiteral("new");
    try {
        WriteID3v2Tag(path(), tag);
    } catch (const StoreError&) {
        threw = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(threw);
    EXPECT_EQ(ReadBytes(path()), old);
    EXPECT_TRUE(strayFiles().isEmpty());
}

TEST_F(ID3v2Writer, AVanishedFileIsAnErrorAndNothingIsCreated) {
    EXPECT_THROW(WriteID3v2Tag(path(QStringLiteral("gone.mp3")), ID3v2Tag()), StoreError);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("gone.mp3"))));
    EXPECT_TRUE(strayFiles().isEmpty());
}
