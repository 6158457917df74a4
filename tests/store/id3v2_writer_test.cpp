#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

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
    // Header and the twelve frames, then 2 KiB of padding for later edits.
    EXPECT_EQ(after.size(), 147 + 2048 + old.size());
    EXPECT_EQ(after.left(10), QByteArray("ID3\x03\x00\x00\x00\x00\x11\x09", 10));  // 137 + 2048
    EXPECT_EQ(after.mid(147, 2048), QByteArray(2048, '\0'));
    EXPECT_EQ(after.mid(147 + 2048), old);  // audio and the ID3v1 tag carried over
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

TEST_F(ID3v2Writer, ATagThatFitsIsWrittenInPlaceAndTheRestBecomesPadding) {
    WriteBytes(path(), Audio(2000));
    ID3v2Tag tag = ReadID3v2Tag(path());
    tag.COMM = QString(300, QLatin1Char('c'));
    WriteID3v2Tag(path(), tag);  // beside: 137 + 300 bytes of frames, 2 KiB padding
    const qint64 extent = 10 + 437 + 2048;
    ASSERT_EQ(ReadBytes(path()).size(), extent + 2000);
    ASSERT_EQ(::link(QFile::encodeName(path()).constData(),
                     QFile::encodeName(path(QStringLiteral("other.mp3"))).constData()),
              0);
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &before), 0);

    for (const char* comment : {"short", "a longer comment than before", ""}) {
        SCOPED_TRACE(comment);
        tag = ReadID3v2Tag(path());
        tag.COMM = QString::fromLatin1(comment);
        WriteID3v2Tag(path(), tag);
        const QByteArray after = ReadBytes(path());
        const qint64 frames = 137 + qint64(std::strlen(comment));
        struct stat now;
        ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &now), 0);
        EXPECT_EQ(now.st_ino, before.st_ino);  // the same file: links and attributes stay
        EXPECT_EQ(now.st_nlink, 2u);
        EXPECT_EQ(after.size(), extent + 2000);
        EXPECT_EQ(ReadID3v2Tag(path()).Size, extent - 10);  // the header spans the padding
        EXPECT_EQ(ReadID3v2Tag(path()).COMM, QString::fromLatin1(comment));
        EXPECT_EQ(after.mid(10 + frames, extent - 10 - frames),
                  QByteArray(extent - 10 - frames, '\0'));
        EXPECT_EQ(after.mid(extent), Audio(2000));
        EXPECT_EQ(ReadBytes(path(QStringLiteral("other.mp3"))), after);
    }
    EXPECT_TRUE(strayFiles().filter(QStringLiteral("tamberlo")).isEmpty());
}

TEST_F(ID3v2Writer, PaddingIsOnePercentOfTheFileBetweenTwoAndSixtyFourKiB) {
    const struct {
        qint64 length;
        qint64 padding;
    } cases[] = {
        {0, 2048},        {204800, 2048},   {204900, 2049},
        {1000000, 10000}, {6553600, 65536}, {qint64(5) << 30, 65536},
    };
    for (const auto& c : cases) EXPECT_EQ(ID3v2PaddingFor(c.length), c.padding) << c.length;

    // A tag that grows past its space moves beside, with the padding of the
    // new length: here 1% of about a megabyte.
    WriteBytes(path(), V2Tag(V2Text("TIT2", "old"), 0) + Audio(1000000));
    ID3v2Tag tag = ReadID3v2Tag(path());
    tag.COMM = QString(500, QLatin1Char('c'));
    WriteID3v2Tag(path(), tag);
    const QByteArray after = ReadBytes(path());
    const qint64 frames = 137 + 3 + 500;  // the twelve with "old" and the comment
    const qint64 padding = (1000000 + 10 + frames) / 100;
    EXPECT_EQ(after.size(), 10 + frames + padding + 1000000);
    EXPECT_EQ(ReadID3v2Tag(path()).Size, frames + padding);
    EXPECT_EQ(after.mid(10 + frames + padding), Audio(1000000));
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

namespace {

// The frames after the twelve when `tag`, as read from `old`, is written.
QList<ID3v2Frame> KeptFrames(const QByteArray& old, const ID3v2Tag& tag) {
    const ID3v2Contents contents = ParseID3v2Contents(old);
    const QByteArray frames = RenderID3v2Frames(tag, contents);
    return ParseID3v2Contents(RenderID3v2Header(frames.size()) + frames).frames.mid(12);
}

QList<QByteArray> Ids(const QList<ID3v2Frame>& frames) {
    QList<QByteArray> ids;
    for (const ID3v2Frame& f : frames) ids << f.id;
    return ids;
}

ID3v2Frame Frame(const char* id, const QByteArray& payload, quint16 flags = 0) {
    return ID3v2Frame{id, flags, payload};
}

}  // namespace

TEST(ID3v2Conversion, Version24FramesBecomeTheirVersion23Form) {
    const QByteArray picture =
        QByteArray("\x00image/png\x00\x03\x00", 13) + QByteArray(300, '\xFF');
    // Data-length indicator 5, then "\0ab\xFF" "c" with a 00 after the FF.
    const QByteArray priv = V2Frame("PRIV", QByteArray("\x00\x00\x00\x05\x00"
                                                       "ab\xFF\x00"
                                                       "c",
                                                       10))
                                .replace(8, 2, QByteArray("\x00\x03", 2));
    const QByteArray tag = V2TagOf(4, 0,
                                   V2Frame("APIC", picture) +
                                       V2Frame("TDRC", QByteArray("\x03"
                                                                  "2019-05-06T21:30",
                                                                  17)) +
                                       V2Frame("TXXX", QByteArray("\x03"
                                                                  "来源\0CD",
                                                                  10)) +
                                       V2Frame("TPE2", QByteArray("\x00"
                                                                  "A\0B\0",
                                                                  5)) +
                                       V2Frame("TIPL", QByteArray("\x00"
                                                                  "mix\0Z\0",
                                                                  7)) +
                                       V2Frame("ASPI", QByteArray(12, '\x01')) + priv);
    const ID3v2Tag read = ParseID3v2Tag(tag);
    EXPECT_EQ(read.TYER, QStringLiteral("2019"));
    const QList<ID3v2Frame> kept = KeptFrames(tag, read);
    // The picture as it was; the date's day and time; UTF-8 as UTF-16; one
    // value per text frame; the credits list under its v2.3 name; the audio
    // index dropped; the unsynchronised frame undone, its length indicator gone.
    EXPECT_EQ(Ids(kept),
              (QList<QByteArray>{"APIC", "TDAT", "TIME", "TXXX", "TPE2", "IPLS", "PRIV"}));
    EXPECT_EQ(kept[0].payload, picture);
    EXPECT_EQ(kept[1].payload, QByteArray("\x00"
                                          "0605",
                                          5));
    EXPECT_EQ(kept[2].payload, QByteArray("\x00"
                                          "2130",
                                          5));
    EXPECT_EQ(kept[3].payload, QByteArray("\x01\xFF\xFE\x65\x67\x90\x6E\x00\x00\xFF\xFE"
                                          "C\0D\0",
                                          15));
    EXPECT_EQ(kept[4].payload, QByteArray("\x00"
                                          "A/B",
                                          4));
    EXPECT_EQ(kept[5].payload, QByteArray("\x00"
                                          "mix\0Z\0",
                                          7));
    EXPECT_EQ(kept[6], Frame("PRIV", QByteArray("\x00"
                                                "ab\xFF"
                                                "c",
                                                5)));
}

TEST(ID3v2Conversion, CompressedVersion24FramesKeepTheirDataWithVersion23Extras) {
    // Grouped (0x40), compressed (0x08) with a length indicator (0x01):
    // group byte, size 1000, data -> v2.3: size as a plain number, group byte.
    const QByteArray stored = QByteArray("\x07\x00\x00\x07\x68", 5) + "zlib-data";
    const QByteArray tag =
        V2TagOf(4, 0, V2Frame("TXXX", stored).replace(8, 2, QByteArray("\x00\x49", 2)));
    const QList<ID3v2Frame> kept = KeptFrames(tag, ParseID3v2Tag(tag));
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(kept[0].flags, 0x00A0);  // compression, grouping
    EXPECT_EQ(kept[0].payload, QByteArray("\x00\x00\x03\xE8\x07", 5) + "zlib-data");
}

TEST(ID3v2Conversion, Version22FramesTakeTheirVersion23Names) {
    const QByteArray tag = V2TagOf(2, 0,
                                   V22Frame("TT2", QByteArray("\x00t", 2)) +
                                       V22Frame("PIC", QByteArray("\x00JPG\x03\x00jpeg", 10)) +
                                       V22Frame("ULT", QByteArray("\x00"
                                                                  "chi\0words",
                                                                  10)) +
                                       V22Frame("CRM", "secret"));
    const QList<ID3v2Frame> kept = KeptFrames(tag, ParseID3v2Tag(tag));
    // CRM, encrypted metadata, has no v2.3 counterpart.
    EXPECT_EQ(kept,
              (QList<ID3v2Frame>{Frame("APIC", QByteArray("\x00image/jpeg\x00\x03\x00jpeg", 18)),
                                 Frame("USLT", QByteArray("\x00"
                                                          "chi\0words",
                                                          10))}));
}

TEST(ID3v2Conversion, DescribedCommentsStayAndAddNoFrameUnlessTheCommentChanges) {
    const QByteArray itunes = V2Frame("COMM", QByteArray("\x00"
                                                         "engiTunNORM\0 0A 0B",
                                                         19));
    const QByteArray described = V2Frame("COMM", QByteArray("\x00"
                                                            "engID3v1 Comment\0old",
                                                            21));
    const QByteArray plain = V2Frame("COMM", QByteArray("\x00"
                                                        "chi\0old",
                                                        8));
    const auto rewrite = [](const ID3v2Tag& tag, const QByteArray& old) {
        const QByteArray frames = RenderID3v2Frames(tag, ParseID3v2Contents(V2Tag(old)));
        return ParseID3v2Contents(RenderID3v2Header(frames.size()) + frames);
    };
    const auto comments = [](const ID3v2Contents& c) {
        QList<ID3v2Frame> found;
        for (const ID3v2Frame& f : c.frames)
            if (f.id == "COMM")
                found << f;
        return found;
    };
    const ID3v2Frame itunesFrame = Frame("COMM", itunes.mid(10));
    const ID3v2Frame describedFrame = Frame("COMM", described.mid(10));

    // Machine data only: no comment shows, and a rewrite adds none.
    ID3v2Tag read = ParseID3v2Tag(V2Tag(itunes));
    EXPECT_EQ(read.COMM, QString());
    ID3v2Contents after = rewrite(read, itunes);
    EXPECT_EQ(after.tag.COMM, QString());
    EXPECT_EQ(comments(after), QList<ID3v2Frame>{itunesFrame});

    // A described comment shows and stays the one shown.
    read = ParseID3v2Tag(V2Tag(itunes + described));
    EXPECT_EQ(read.COMM, QStringLiteral("old"));
    after = rewrite(read, itunes + described);
    EXPECT_EQ(after.tag.COMM, QStringLiteral("old"));
    EXPECT_EQ(comments(after), (QList<ID3v2Frame>{itunesFrame, describedFrame}));

    // A changed comment is a frame of its own beside them, and shows.
    read.COMM = QStringLiteral("新");
    after = rewrite(read, itunes + described);
    EXPECT_EQ(after.tag.COMM, QStringLiteral("新"));
    EXPECT_EQ(comments(after),
              (QList<ID3v2Frame>{Frame("COMM", QByteArray(5, '\0') + Gbk(QStringLiteral("新"))),
                                 itunesFrame, describedFrame}));

    // A new comment replaces the plain one and keeps its language.
    read = ParseID3v2Tag(V2Tag(itunes + plain));
    EXPECT_EQ(read.COMM, QStringLiteral("old"));
    read.COMM = QStringLiteral("新");
    after = rewrite(read, itunes + plain);
    EXPECT_EQ(after.tag.COMM, QStringLiteral("新"));
    EXPECT_EQ(comments(after), (QList<ID3v2Frame>{Frame("COMM", QByteArray("\x00"
                                                                           "chi\0",
                                                                           5) +
                                                                    Gbk(QStringLiteral("新"))),
                                                  itunesFrame}));
}

TEST(ID3v2Conversion, UntouchedTextsKeepTheirDuplicatesAndTheOneShown) {
    const QByteArray first = V2Text("TIT2", "first");
    const QByteArray second = V2Text("TIT2", "second");
    const QByteArray old = first + second + V2Text("TPE1", "a");
    ID3v2Tag read = ParseID3v2Tag(V2Tag(old));
    ASSERT_EQ(read.TIT2, QStringLiteral("second"));
    read.TPE1 = QStringLiteral("b");
    QByteArray frames = RenderID3v2Frames(read, ParseID3v2Contents(V2Tag(old)));
    EXPECT_TRUE(frames.startsWith(first + second));
    EXPECT_EQ(ParseID3v2Tag(RenderID3v2Header(frames.size()) + frames).TIT2,
              QStringLiteral("second"));

    // A changed title is one frame.
    read.TIT2 = QStringLiteral("new");
    frames = RenderID3v2Frames(read, ParseID3v2Contents(V2Tag(old)));
    EXPECT_TRUE(frames.startsWith(V2Text("TIT2", "new")));
    EXPECT_EQ(frames.count("TIT2"), 1);
}

TEST(ID3v2Conversion, UnchangedTextsKeepTheirFrames) {
    // UTF-16 stays UTF-16 and frame flags stay, where the record leaves the text alone.
    const QByteArray title = V2PlainFrame("TIT2",
                                          QByteArray("\x01\xFF\xFE"
                                                     "a\0",
                                                     5),
                                          0x4000);
    const QByteArray tag = V2TagOf(3, 0, title + V2Text("TPE1", "x"));
    ID3v2Tag read = ParseID3v2Tag(tag);
    read.TPE1 = QStringLiteral("y");
    const QByteArray frames = RenderID3v2Frames(read, ParseID3v2Contents(tag));
    EXPECT_TRUE(frames.startsWith(title));
}

TEST_F(ID3v2Writer, OlderTagsOfThisProgramAreRewrittenWithPlainFrameSizes) {
    const QByteArray audio = Audio(500);
    const QByteArray longComment(200, 'c');
    WriteBytes(
        path(),
        V2Tag(V2Text("TIT2", "t") + V2Frame("COMM", QByteArray(4, 0) + longComment)) + audio);
    ID3v2Tag tag = ReadID3v2Tag(path());
    ASSERT_EQ(tag.COMM, QString::fromLatin1(longComment));
    tag.TIT2 = QStringLiteral("new");
    WriteID3v2Tag(path(), tag);
    const QByteArray after = ReadBytes(path());
    const int comm = after.indexOf("COMM");
    EXPECT_EQ(after.mid(comm + 4, 4), QByteArray("\x00\x00\x00\xCC", 4));  // 204, plain
    EXPECT_EQ(ReadID3v2Tag(path()).COMM, QString::fromLatin1(longComment));
    EXPECT_TRUE(after.endsWith(audio));
}

TEST_F(ID3v2Writer, ARecordThatNoLongerDescribesTheFileIsRefused) {
    WriteBytes(path(), V2Tag(V2Text("TIT2", "first")) + Audio(100));
    const ID3v2Tag stale = ReadID3v2Tag(path());
    const QByteArray now = V2Tag(V2Text("TIT2", "changed meanwhile")) + Audio(100);
    WriteBytes(path(), now);
    EXPECT_THROW(WriteID3v2Tag(path(), stale), StoreError);
    EXPECT_EQ(ReadBytes(path()), now);
    EXPECT_TRUE(strayFiles().isEmpty());
}

TEST_F(ID3v2Writer, AVersion24FooterGoesWithTheOldTag) {
    const QByteArray frames = V2Frame("TIT2", QByteArray("\x03"
                                                         "t",
                                                         2));
    QByteArray tag = V2TagOf(4, 0x10, frames);
    QByteArray footer = tag.left(10);
    footer.replace(0, 3, "3DI");
    const QByteArray audio = Audio(400);
    WriteBytes(path(), tag + footer + audio);
    ID3v2Tag read = ReadID3v2Tag(path());
    read.TIT2 = QStringLiteral("new");
    WriteID3v2Tag(path(), read);
    const QByteArray after = ReadBytes(path());
    EXPECT_EQ(after.mid(ParseID3v2Contents(after).extent), audio);
    EXPECT_FALSE(after.contains("3DI"));
}
