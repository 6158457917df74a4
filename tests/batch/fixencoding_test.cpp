// The repair of garbled text and the conversion of legacy text: what the
// preview finds on files other programs wrote, what the run writes, and
// that the run is one undoable batch.
#include "batch/fixencoding.h"

#include <gtest/gtest.h>

#include "batch/undo.h"
#include "edit_folder_fixture.h"
#include "store/id3v1.h"
#include "store/id3v2text.h"
#include "store/journal.h"
#include "store/programfolder.h"
#include "store/tagvalues.h"

namespace {

// The fixtures: files as other programs leave them.
// 1. Code page 936 read as Latin-1 and saved as UTF-16 (ffmpeg -c copy).
QByteArray FfmpegCopied() {
    return V2Tag(Utf16Text("TIT2", QString::fromLatin1("\xC6\xDF\xC0\xEF\xCF\xE3")) +  // 七里香
                 Utf16Text("TPE1", QString::fromLatin1("\xD6\xDC\xBD\xDC\xC2\xD7")) +  // 周杰伦
                 Utf16Text("TALB", QStringLiteral("Björk")) + V2Text("TYER", "2004")) +
           MpegFrames(6);
}
// 2. Big5 in encoding 0.
QByteArray Big5Frames() {
    return V2Tag(V2Text("TPE1", "\xA9\x50\xAA\x4E\xAD\xDB") +   // 周杰倫
                 V2Text("TALB", "\xB8\xAD\xB4\x66\xAC\xFC")) +  // 葉惠美
           MpegFrames(6);
}
// 3. UTF-8 in ID3v1, NUL padded, as ffmpeg writes it; a Hangul artist in
// CP949, which code page 936 cannot hold.
QByteArray Utf8V1() {
    return MpegFrames(6) +
           V1Bytes("\xE5\xA4\x9C\xE6\x9B\xB2",                                  // 夜曲
                   "\xBC\xAD\xC5\xC2\xC1\xF6\xBF\xCD\xBE\xC6\xC0\xCC\xB5\xE9",  // 서태지와아이들
                   "Jay", "2006", {}, 1, 0, '\0');
}

struct Fix {
    bool v1;
    QString caption, oldText, newText, from, to;
    bool left = false;
};

QList<Fix> Shown(const FileEncodingFixes& file) {
    QList<Fix> fixes;
    for (const EncodingFix& f : file.fixes)
        fixes.append(
            {f.v1, f.caption, f.oldText, f.newText, f.from, f.to, !f.leftBecause.isEmpty()});
    return fixes;
}

bool operator==(const Fix& a, const Fix& b) {
    return a.v1 == b.v1 && a.caption == b.caption && a.oldText == b.oldText &&
           a.newText == b.newText && a.from == b.from && a.to == b.to && a.left == b.left;
}

void PrintTo(const Fix& f, std::ostream* os) {
    *os << f.caption.toStdString() << ": " << f.oldText.toStdString() << " ("
        << f.from.toStdString() << ") -> " << f.newText.toStdString() << " (" << f.to.toStdString()
        << ")" << (f.left ? " left" : "");
}

struct WriteModeGuard {
    explicit WriteModeGuard(id3v2text::WriteMode mode) { id3v2text::SetWriteMode(mode); }
    ~WriteModeGuard() { id3v2text::SetWriteMode(id3v2text::WriteMode::Gbk); }
};

class FixEncoding : public EditFolder {
  protected:
    void SetUp() override {
        EditFolder::SetUp();
        SetJournalFolder(temp_.filePath(QStringLiteral("journal")));
        put(QStringLiteral("ffmpeg.mp3"), FfmpegCopied());
        put(QStringLiteral("big5.mp3"), Big5Frames());
        put(QStringLiteral("utf8v1.mp3"), Utf8V1());
        put(QStringLiteral("ascii.mp3"), V2Tag(V2Text("TIT2", "Yesterday")) + MpegFrames(6));
        put(QStringLiteral("gbk.mp3"),
            V2Tag(V2Text("TIT2", Gbk(QStringLiteral("晴天")))) + MpegFrames(6));
    }
    void TearDown() override {
        SetJournalFolder({});
        EditFolder::TearDown();
    }
    const QStringList kNames = {"ffmpeg.mp3", "big5.mp3", "utf8v1.mp3", "ascii.mp3", "gbk.mp3"};
};

}  // namespace

TEST_F(FixEncoding, ThePreviewFindsEveryFieldThatWouldChange) {
    const auto S = [](const char* s) { return QString::fromUtf8(s); };
    const struct {
        id3v2text::WriteMode mode;
        QList<QList<Fix>> files;  // in kNames order
    } cases[] = {
        {id3v2text::WriteMode::Gbk,
         {{{false, S("ID3v2 歌名"), S("ÆßÀïÏã"), S("七里香"), S("乱码?"), S("GBK")},
           {false, S("ID3v2 艺术家"), S("ÖÜ½ÜÂ×"), S("周杰伦"), S("乱码?"), S("GBK")}},
          {{false, S("ID3v2 艺术家"), S("周杰倫"), S("周杰倫"), S("Big5"), S("GBK")},
           {false, S("ID3v2 专辑"), S("葉惠美"), S("葉惠美"), S("Big5"), S("GBK")}},
          {{true, S("ID3v1 歌名"), S("夜曲"), S("夜曲"), S("UTF-8(旧)"), S("GBK")},
           {true, S("ID3v1 艺术家"), S("서태지와아이들"), S("서태지와아이들"), S("CP949"), S("GBK"),
            true}},
          {},
          {}}},
        {id3v2text::WriteMode::Unicode,
         {{{false, S("ID3v2 歌名"), S("ÆßÀïÏã"), S("七里香"), S("乱码?"), S("Unicode")},
           {false, S("ID3v2 艺术家"), S("ÖÜ½ÜÂ×"), S("周杰伦"), S("乱码?"), S("Unicode")}},
          {{false, S("ID3v2 艺术家"), S("周杰倫"), S("周杰倫"), S("Big5"), S("Unicode")},
           {false, S("ID3v2 专辑"), S("葉惠美"), S("葉惠美"), S("Big5"), S("Unicode")}},
          {{true, S("ID3v1 歌名"), S("夜曲"), S("夜曲"), S("UTF-8(旧)"), S("GBK")},
           {true, S("ID3v1 艺术家"), S("서태지와아이들"), S("서태지와아이들"), S("CP949"), S("GBK"),
            true}},
          {},
          {{false, S("ID3v2 歌名"), S("晴天"), S("晴天"), S("GBK"), S("Unicode")}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.mode));
        WriteModeGuard mode(c.mode);
        const QList<FileEncodingFixes> plans = PlanEncodingFixes(ticked(kNames));
        ASSERT_EQ(plans.size(), kNames.size());
        for (qsizetype i = 0; i < plans.size(); ++i) {
            SCOPED_TRACE(kNames[i].toStdString());
            EXPECT_EQ(plans[i].name, kNames[i]);
            EXPECT_TRUE(plans[i].error.isEmpty());
            EXPECT_EQ(Shown(plans[i]), c.files[i]);
        }
    }
}

TEST_F(FixEncoding, TheRunWritesTheChosenFieldsAndLeavesTheRestByteForByte) {
    const QByteArray before3 = bytes(QStringLiteral("utf8v1.mp3"));
    const QByteArray beforeAscii = bytes(QStringLiteral("ascii.mp3"));
    QList<FileEncodingFixes> plans;
    {
        WriteModeGuard mode(id3v2text::WriteMode::Unicode);
        plans = PlanEncodingFixes(ticked(kNames));
        // The artist of the ffmpeg file is not chosen.
        plans[0].fixes.removeAt(1);
        const EditReport report = RunEncodingFixes(ticked(kNames), plans);
        EXPECT_EQ(report.written, 4);  // the ASCII file has nothing to change
        EXPECT_TRUE(report.failures.isEmpty());
    }

    const ID3v2Values ffmpeg = ReadID3v2Values(path(QStringLiteral("ffmpeg.mp3")));
    EXPECT_EQ(ffmpeg.field("TIT2").read, QStringLiteral("七里香"));
    EXPECT_EQ(ffmpeg.field("TIT2").stored.encoding, 1);
    EXPECT_EQ(ffmpeg.field("TPE1").read, QString::fromLatin1("\xD6\xDC\xBD\xDC\xC2\xD7"));
    EXPECT_EQ(ffmpeg.field("TALB").read, QStringLiteral("Björk"));

    const ID3v2Values big5 = ReadID3v2Values(path(QStringLiteral("big5.mp3")));
    EXPECT_EQ(big5.field("TPE1").read, QStringLiteral("周杰倫"));
    EXPECT_EQ(big5.field("TPE1").stored.encoding, 1);
    EXPECT_EQ(big5.field("TALB").read, QStringLiteral("葉惠美"));

    // ID3v1: the title now in code page 936, the Hangul artist as it was.
    const QByteArray tail3 = tail(QStringLiteral("utf8v1.mp3"));
    EXPECT_EQ(tail3.mid(3, 30), Gbk(QStringLiteral("夜曲")) + QByteArray(26, '\0'));
    EXPECT_EQ(tail3.mid(33), before3.right(128).mid(33));
    EXPECT_EQ(bytes(QStringLiteral("utf8v1.mp3")).chopped(128), before3.chopped(128));
    EXPECT_EQ(bytes(QStringLiteral("ascii.mp3")), beforeAscii);
}

TEST_F(FixEncoding, TheRunIsOneBatchThatUndoTakesBack) {
    QMap<QString, QByteArray> original;
    for (const QString& name : kNames) original[name] = bytes(name);
    const QList<FileEncodingFixes> plans = PlanEncodingFixes(ticked(kNames));
    const EditReport report = RunEncodingFixes(ticked(kNames), plans);
    EXPECT_EQ(report.written, 3);
    EXPECT_NE(bytes(QStringLiteral("big5.mp3")), original[QStringLiteral("big5.mp3")]);

    Journal journal(JournalFolder());
    const QList<BatchSummary> batches = journal.undoable();
    ASSERT_EQ(batches.size(), 1);
    EXPECT_EQ(batches.first().description, QStringLiteral("修复乱码 / 转为 Unicode"));
    RunUndo(journal, batches.first().number);
    for (const QString& name : kNames) EXPECT_EQ(bytes(name), original[name]) << name.toStdString();
}

TEST_F(FixEncoding, AFileChangedSincePreviewIsNamedAndNotTouched) {
    const QList<FileEncodingFixes> plans = PlanEncodingFixes(ticked({"big5.mp3"}));
    const QByteArray changed = V2Tag(V2Text("TPE1", "\xA9\x50\xAA\x4E")) + MpegFrames(6);  // 周杰
    put(QStringLiteral("big5.mp3"), changed);
    const EditReport report = RunEncodingFixes(ticked({"big5.mp3"}), plans);
    EXPECT_EQ(report.written, 0);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures.first().reason, QStringLiteral("文件在预览之后被改动，未作改动"));
    EXPECT_EQ(bytes(QStringLiteral("big5.mp3")), changed);
}

TEST_F(FixEncoding, UnreadableFilesAreNamedInThePreviewAndCancelStopsIt) {
    QList<FileEncodingFixes> plans = PlanEncodingFixes(ticked({"gone.mp3", "big5.mp3"}));
    ASSERT_EQ(plans.size(), 2);
    EXPECT_FALSE(plans[0].error.isEmpty());
    EXPECT_EQ(plans[1].fixes.size(), 2);
    plans = PlanEncodingFixes(ticked(kNames), {}, [] { return true; });
    EXPECT_TRUE(plans.isEmpty());
}
