#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QStringView>
#include <QTemporaryDir>
#include <algorithm>
#include <iterator>
#include <optional>

#include "store/error.h"
#include "store/framecatalogue.h"
#include "store/id3v2.h"
#include "store/id3v2frames.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

// What the reader shows for files tagged by other programs, and for a few
// built byte by byte where no program at hand writes the layout. The files
// and the script that makes them are in tests/fixtures/id3v2; the script's
// comments say how each file was made and what sits in it.

namespace {

const QString kFolder = QStringLiteral(TAMBERLO_FIXTURE_DIR "/id3v2");

// This program's earlier versions wrote it; 200 characters give a frame
// size of 205, whose plain 32-bit reading (333) runs past the tag.
constexpr char16_t kOldComment[] =
    u"Recorded at the Taipei Arena, 2007. Recorded at the Taipei Arena, 2007. "
    u"Recorded at the Taipei Arena, 2007. Recorded at the Taipei Arena, 2007. "
    u"Recorded at the Taipei Arena, 2007. Recorded at the Taip";
static_assert(std::size(kOldComment) - 1 == 200);

struct Row {
    const char* file;
    QStringView Version;
    // Fields a row leaves out are expected empty.
    QStringView TIT2 = {}, TPE1 = {}, TALB = {}, TYER = {}, TCON = {}, TRCK = {}, COMM = {},
                TCOM = {}, TCOP = {}, TENC = {}, TOPE = {}, WXXX = {};
    bool unwritable = false;
};

constexpr QStringView k22 = u"2.0    ";
constexpr QStringView k23 = u"3.0    ";
constexpr QStringView k24 = u"4.0    ";

const Row kRows[] = {
    // Three-letter IDs; UTF-16 with a big-endian BOM, with a little-endian
    // BOM, and CP936.
    {.file = "handmade_v22.mp3",
     .Version = k22,
     .TIT2 = u"东风破",
     .TPE1 = u"周杰伦",
     .TALB = u"叶惠美",
     .TYER = u"2003",
     .TCON = u"(13)",
     .TRCK = u"5/11",
     .COMM = u"中国风",
     .TCOM = u"周杰伦",
     .TCOP = u"2003 阿尔发音乐",
     .TENC = u"handmade",
     .TOPE = u"Jay Chou",
     .WXXX = u"http://example.com/dongfengpo"},
    // Picture first; UTF-8 with a character outside CP936; two artists; the
    // year from TDRC; the empty-description COMM after iTunNORM and 163 key.
    {.file = "mutagen_v24_utf8_apic_first.mp3",
     .Version = k24,
     .TIT2 = u"夜曲\U0001F3B5",
     .TPE1 = u"周杰伦/方文山",
     .TALB = u"十一月的萧邦",
     .TYER = u"2019",
     .TCON = u"Pop",
     .TRCK = u"3/12",
     .COMM = u"为你弹奏萧邦的夜曲",
     .TCOM = u"周杰伦",
     .TCOP = u"2005 杰威尔音乐",
     .TENC = u"网易云音乐",
     .TOPE = u"Jay Chou",
     .WXXX = u"https://music.163.com/song?id=185811"},
    // UTF-16 with BOMs, a surrogate pair; mutagen joined the artists itself.
    // The only WXXX has a description, so its URL is shown.
    {.file = "mutagen_v23_utf16.mp3",
     .Version = k23,
     .TIT2 = u"晴天\U0001F3B5",
     .TPE1 = u"周杰伦/杨瑞代",
     .TALB = u"叶惠美",
     .TYER = u"2003",
     .TCON = u"流行",
     .TRCK = u"3/11",
     .COMM = u"故事的小黄花，从出生那年就飘着；童年的荡秋千，随记忆一直晃到现在。"
             u"刮风这天，我试过握着你手，但偏偏雨渐渐大到我看你不见。",
     .TCOM = u"周杰伦",
     .TCOP = u"2003 阿尔发音乐",
     .TENC = u"mutagen",
     .TOPE = u"周杰伦",
     .WXXX = u"http://example.com/qingtian"},
    // UTF-16BE; TDRC holds only a year; APEv2 and ID3v1 after the audio.
    {.file = "mutagen_v24_utf16be_apev2.mp3",
     .Version = k24,
     .TIT2 = u"稻香",
     .TPE1 = u"周杰伦",
     .TALB = u"魔杰座",
     .TYER = u"2008",
     .TCON = u"Pop",
     .TRCK = u"1",
     .COMM = u"田园风",
     .WXXX = u"http://example.com/daoxiang"},
    // eyeD3 pads the track number.
    {.file = "eyed3_v24_utf8.mp3",
     .Version = k24,
     .TIT2 = u"七里香",
     .TPE1 = u"周杰伦",
     .TALB = u"七里香",
     .TYER = u"2004",
     .TCON = u"Pop",
     .TRCK = u"01/10",
     .COMM = u"雨下整夜",
     .TCOM = u"周杰伦",
     .TCOP = u"2004 阿尔发音乐",
     .TENC = u"eyeD3",
     .TOPE = u"周杰伦",
     .WXXX = u"http://example.com/qilixiang"},
    // UTF-16 everywhere but TYER and TCON, which come last after the APIC.
    {.file = "kid3_v23_utf16.mp3",
     .Version = k23,
     .TIT2 = u"彩虹",
     .TPE1 = u"周杰伦",
     .TALB = u"我很忙",
     .TYER = u"2007",
     .TCON = u"Pop",
     .TRCK = u"4/10",
     .COMM = u"哪里有彩虹告诉我",
     .TCOM = u"周杰伦",
     .TCOP = u"2007 杰威尔音乐",
     .TENC = u"kid3",
     .TOPE = u"Jay Chou",
     .WXXX = u"http://example.com/caihong"},
    // CP936 behind encoding 0; a comment frame over 127 bytes with a plain
    // 32-bit size. id3v2 wrote no WXXX.
    {.file = "id3v2_v23_cp936.mp3",
     .Version = k23,
     .TIT2 = u"简单爱",
     .TPE1 = u"周杰伦",
     .TALB = u"范特西",
     .TYER = u"2001",
     .TCON = u"(13)",
     .TRCK = u"5/10",
     .COMM = u"说不上为什么，我变得很主动。若爱上一个人，什么都会值得去做。"
             u"我想大声宣布，对你依依不舍。连隔壁邻居都猜到我现在的感受。河边的风在吹着头发飘动。",
     .TCOM = u"周杰伦",
     .TCOP = u"2001 阿尔发音乐",
     .TENC = u"id3v2",
     .TOPE = u"周杰伦"},
    // UTF-8 behind encoding 0. The album's bytes (UTF-8 of "夜曲") are valid
    // CP936 as well ("澶滄洸"), but read far better as UTF-8.
    {.file = "id3v2_v23_utf8_in_enc0.mp3",
     .Version = k23,
     .TIT2 = u"七里香",
     .TPE1 = u"周杰伦",
     .TALB = u"夜曲",
     .TYER = u"2004",
     .TCON = u"(13)",
     .TRCK = u"1/10",
     .COMM = u"很好听",
     .TCOM = u"叶惠美"},
    {.file = "handmade_v23_unsync.mp3",
     .Version = k23,
     .TIT2 = u"晴天",
     .TPE1 = u"周杰伦",
     .TALB = u"叶惠美",
     .TYER = u"2003",
     .TCON = u"(13)",
     .TRCK = u"3",
     .COMM = u"故事的小黄花"},
    // Extended header with a padding size; UTF-16 without a BOM.
    {.file = "handmade_v23_exthdr_nobom.mp3",
     .Version = k23,
     .TIT2 = u"稻香",
     .TPE1 = u"周杰伦",
     .TALB = u"魔杰座",
     .TYER = u"2008",
     .TCON = u"(13)",
     .TRCK = u"1/11",
     .COMM = u"回到家乡"},
    // Per-frame unsynchronisation with data length indicators on TIT2, TALB
    // and COMM; the year from a full TDRC date.
    {.file = "handmade_v24_exthdr_frame_unsync.mp3",
     .Version = k24,
     .TIT2 = u"（夜曲）",
     .TPE1 = u"周杰伦",
     .TALB = u"十一月的萧邦（2005）",
     .TYER = u"2005",
     .TCON = u"Pop",
     .TRCK = u"3/12",
     .COMM = u"夜曲（纪念版）"},
    // 7-bit frame sizes in a 2.3 tag, WXXX without a description terminator.
    {.file = "tamberlo_old_v23.mp3",
     .Version = k23,
     .TIT2 = u"青花瓷",
     .TPE1 = u"周杰伦",
     .TALB = u"我很忙",
     .TYER = u"2007",
     .TCON = u"流行",
     .TRCK = u"7",
     .COMM = kOldComment,
     .TCOM = u"周杰伦",
     .TCOP = u"2007 杰威尔音乐",
     .TENC = u"Tamberlo",
     .TOPE = u"周杰伦",
     .WXXX = u"http://www.jvrmusic.com/"},
    // The file ends inside the tag, after four whole frames.
    {.file = "damaged_size_past_end.mp3",
     .Version = k23,
     .TIT2 = u"搁浅",
     .TPE1 = u"周杰伦",
     .TALB = u"七里香",
     .TYER = u"2004",
     .unwritable = true},
    // Tag size bytes 00 00 01 FF; the frames lie within every reading of it.
    {.file = "damaged_size_not_synchsafe.mp3",
     .Version = k23,
     .TIT2 = u"退后",
     .TPE1 = u"周杰伦",
     .TALB = u"依然范特西",
     .TRCK = u"2",
     .unwritable = true},
};

QString PathOf(const Row& row) {
    return kFolder + QLatin1Char('/') + QLatin1String(row.file);
}

// Spelled out in UTF-8: gtest would print a QString as a list of code units.
void ExpectShown(const char* what, const QString& shown, QStringView pinned) {
    EXPECT_TRUE(shown == pinned) << what << " shows \"" << shown.toStdString() << "\", pinned \""
                                 << pinned.toString().toStdString() << '"';
}

}  // namespace

TEST(ID3v2Fixtures, EveryFixtureReadsAsPinned) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.file);
        const ID3v2Tag tag = ReadID3v2Tag(PathOf(row));
        EXPECT_TRUE(tag.Present);
        ExpectShown("Version", tag.Version, row.Version);
        ExpectShown("TIT2", tag.TIT2, row.TIT2);
        ExpectShown("TPE1", tag.TPE1, row.TPE1);
        ExpectShown("TALB", tag.TALB, row.TALB);
        ExpectShown("TYER", tag.TYER, row.TYER);
        ExpectShown("TCON", tag.TCON, row.TCON);
        ExpectShown("TRCK", tag.TRCK, row.TRCK);
        ExpectShown("COMM", tag.COMM, row.COMM);
        ExpectShown("TCOM", tag.TCOM, row.TCOM);
        ExpectShown("TCOP", tag.TCOP, row.TCOP);
        ExpectShown("TENC", tag.TENC, row.TENC);
        ExpectShown("TOPE", tag.TOPE, row.TOPE);
        ExpectShown("WXXX", tag.WXXX, row.WXXX);
    }
}

TEST(ID3v2Fixtures, OnlyTheDamagedFilesAreUnwritable) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.file);
        const ID3v2Tag tag = ReadID3v2Tag(PathOf(row));
        EXPECT_EQ(!tag.Unwritable.isEmpty(), row.unwritable) << tag.Unwritable.toStdString();
    }
}

TEST(ID3v2Fixtures, EveryFileInTheFolderHasARow) {
    QSet<QString> pinned;
    for (const Row& row : kRows) {
        pinned.insert(QLatin1String(row.file));
        EXPECT_TRUE(QFileInfo(PathOf(row)).isFile()) << row.file;
    }
    EXPECT_EQ(pinned.size(), qsizetype(std::size(kRows))) << "a file has two rows";
    const QStringList files =
        QDir(kFolder).entryList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name);
    EXPECT_FALSE(files.isEmpty()) << kFolder.toStdString();
    for (const QString& file : files)
        EXPECT_TRUE(pinned.contains(file)) << file.toStdString() << " has no row";
}

// Editing one frame of each file keeps every other frame, as stored or in
// its v2.3 form, and every byte after the tag; a tag whose end cannot be
// told is refused and the file left as it was.
TEST(ID3v2Fixtures, EditingOneFrameKeepsEveryOtherFrameAndTheAudio) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SetProgramFolder(dir.path());
    const QString composer = QStringLiteral("新作曲");
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.file);
        const QString path = dir.filePath(QLatin1String(row.file));
        ASSERT_TRUE(QFile::copy(PathOf(row), path));
        const QByteArray before = ReadBytes(path);
        const ID3v2Contents old = ParseID3v2Contents(before);
        ID3v2Tag tag = ReadID3v2Tag(path);
        tag.TCOM = composer;
        if (row.unwritable) {
            EXPECT_THROW(WriteID3v2Tag(path, tag), StoreError);
            EXPECT_EQ(ReadBytes(path), before);
            continue;
        }
        WriteID3v2Tag(path, tag);
        const QByteArray after = ReadBytes(path);
        const ID3v2Contents now = ParseID3v2Contents(after);
        EXPECT_EQ(after.mid(now.extent), before.mid(old.extent));

        // The texts: the new composer, the rest as they were.
        for (const FrameDescriptor& frame : kFrameCatalogue) {
            QString ID3v2Tag::*field = frame.field;
            const QString want = field == &ID3v2Tag::TCOM ? composer : old.tag.*field;
            ExpectShown(frame.id, now.tag.*field, want);
        }
        // The twelve come first, but for a comment or link the file had only
        // with a description, which stays with the others; then album
        // artist, disc and lyrics where the file had them. A text left as it
        // was keeps its frames (earlier duplicates first), a new one is
        // written afresh (compared by ID only).
        QList<std::pair<QByteArray, std::optional<ID3v2Frame>>> first;
        for (const char* id : {"TIT2", "TPE1", "TALB", "TYER", "TCON", "TRCK", "COMM", "TCOM",
                               "TCOP", "TENC", "TOPE", "WXXX", "TPE2", "TPOS", "USLT"}) {
            const int index = FrameIndex(std::string_view(id));
            const int slot = old.shown[size_t(index)];
            if (slot >= 0 && old.described[size_t(index)])
                continue;
            if (slot < 0 && kFrameCatalogue[size_t(index)].writeOrder >= kAlwaysWrittenFrames)
                continue;
            if (QByteArrayView(id) == "TCOM" || QByteArrayView(id) == "WXXX" || slot < 0) {
                first.append({id, std::nullopt});
                continue;
            }
            for (int i : old.duplicates) {
                if (old.frames[i].id == id) {
                    for (const ID3v2Frame& f :
                         id3v2frames::ForV23(old.frames[i], old.major, old.tag.Unsynchronisation))
                        first.append({id, f});
                }
            }
            const QList<ID3v2Frame> kept =
                id3v2frames::ForV23(old.frames[slot], old.major, old.tag.Unsynchronisation);
            ASSERT_EQ(kept.size(), 1) << id;
            first.append({id, kept.front()});
        }
        ASSERT_GE(now.frames.size(), first.size());
        for (qsizetype k = 0; k < first.size(); ++k) {
            EXPECT_EQ(now.frames[k].id, first[k].first);
            if (first[k].second) {
                EXPECT_EQ(now.frames[k], *first[k].second) << first[k].first.constData();
            }
        }
        // Every other frame follows, in the old tag's order.
        QList<ID3v2Frame> others;
        for (qsizetype i = 0; i < old.frames.size(); ++i) {
            bool replaced = old.duplicates.contains(int(i));
            for (size_t j = 0; j < old.shown.size(); ++j)
                replaced = replaced || (old.shown[j] == i && !old.described[j]);
            if (!replaced)
                others += id3v2frames::ForV23(old.frames[i], old.major, old.tag.Unsynchronisation);
        }
        EXPECT_EQ(now.frames.mid(first.size()), others);
    }
    SetProgramFolder({});
}
