// Renaming from either tag, after one's own pattern, with names every disk
// accepts: the plan a rule gives.
#include <gtest/gtest.h>

#include "batch/rename.h"
#include "batch/rename_fixture.h"

namespace {

class RenameRulePlan : public RenameFolder {
  protected:
    void Put(const QString& name, const QByteArray& bytes) { WriteBytes(Path(name), bytes); }
    RenameRow Plan(const QString& name, const RenameRule& rule) {
        return PlanRenameRow(dir.path(), name, rule);
    }
    static RenameRule Rule(int pattern, RenameSource source, const QString& custom = {},
                           bool windows = false) {
        RenameRule rule;
        rule.pattern = pattern;
        rule.source = source;
        rule.custom = custom;
        rule.windowsNames = windows;
        return rule;
    }
};

// ID3v2: title 晴天, artist 周杰伦, album 叶惠美, year 2003, track "3/11",
// composer 周杰伦 (all code page 936).
QByteArray FullV2() {
    return V2Tag(V2Text("TIT2", Gbk(QStringLiteral("晴天"))) +
                 V2Text("TPE1", Gbk(QStringLiteral("周杰伦"))) +
                 V2Text("TALB", Gbk(QStringLiteral("叶惠美"))) + V2Text("TYER", "2003") +
                 V2Text("TRCK", "3/11") + V2Text("TCOM", Gbk(QStringLiteral("周杰伦"))));
}

TEST_F(RenameRulePlan, EachSourceTakesItsTagAndBlocksFilesWithoutIt) {
    Put("both.mp3",
        FullV2() + Audio(100) + V1Bytes("V1Title", "V1Artist", "V1Album", "1999", {}, 5));
    Put("v2only.mp3", FullV2() + Audio(100));
    Put("v1only.mp3", Audio(100) + V1Bytes("V1Title", "V1Artist"));
    Put("none.mp3", Audio(100));
    // v2 with the artist only; v1 fills the title under "ID3v2 优先"
    Put("partial.mp3", V2Tag(V2Text("TPE1", "Band")) + Audio(100) + V1Bytes("V1Title", "V1Artist"));
    const struct {
        const char* file;
        RenameSource source;
        const char* name;  // empty: blocked
        const char* reason;
    } cases[] = {
        {"both.mp3", RenameSource::V1, "V1Artist-V1Title.mp3", ""},
        {"both.mp3", RenameSource::V2, "周杰伦-晴天.mp3", ""},
        {"both.mp3", RenameSource::V2ThenV1, "周杰伦-晴天.mp3", ""},
        {"v2only.mp3", RenameSource::V1, "", "文件没有 ID3v1 标签"},
        {"v2only.mp3", RenameSource::V2, "周杰伦-晴天.mp3", ""},
        {"v2only.mp3", RenameSource::V2ThenV1, "周杰伦-晴天.mp3", ""},
        {"v1only.mp3", RenameSource::V2, "", "文件没有 ID3v2 标签"},
        {"v1only.mp3", RenameSource::V2ThenV1, "V1Artist-V1Title.mp3", ""},
        {"none.mp3", RenameSource::V2ThenV1, "", "文件既没有 ID3v2 标签，也没有 ID3v1 标签"},
        {"partial.mp3", RenameSource::V2ThenV1, "Band-V1Title.mp3", ""},
        {"partial.mp3", RenameSource::V2, "Band-.mp3", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " source " + std::to_string(int(c.source)));
        const RenameRow row = Plan(QString::fromLatin1(c.file), Rule(1, c.source));
        EXPECT_EQ(row.ready, *c.name != '\0') << row.blockedBy.toStdString();
        if (row.ready)
            EXPECT_EQ(row.newName, QString::fromUtf8(c.name));
        else
            EXPECT_EQ(row.blockedBy, QString::fromUtf8(c.reason));
    }
    // The nine patterns keep their ID3v1 texts, "N/A" and all, for a file without one.
    EXPECT_EQ(Plan(QStringLiteral("none.mp3"), Rule(1, RenameSource::V1)).newName,
              QStringLiteral("N/A-N/A.mp3"));
}

TEST_F(RenameRulePlan, OwnPatternsAndTheBuiltInOnesComposeAlike) {
    Put("a.mp3", FullV2() + Audio(100));
    for (int k = kFirstRenamePattern; k <= kLastRenamePattern; ++k) {
        const RenameRule own =
            Rule(kCustomRenamePattern, RenameSource::V2, BuiltInRenamePattern(k));
        EXPECT_EQ(Plan(QStringLiteral("a.mp3"), own).newName,
                  Plan(QStringLiteral("a.mp3"), Rule(k, RenameSource::V2)).newName)
            << k;
    }
    const RenameRow row =
        Plan(QStringLiteral("a.mp3"),
             Rule(kCustomRenamePattern, RenameSource::V2,
                  QStringLiteral("%专辑%\\%音轨% %作曲% - %歌名% (%年份%) [%原文件名%]")));
    EXPECT_EQ(row.newName, QStringLiteral("叶惠美\\03 周杰伦 - 晴天 (2003) [a].mp3"));
    EXPECT_TRUE(row.ready) << row.blockedBy.toStdString();
}

TEST_F(RenameRulePlan, RuleProblemsNameTheFault) {
    const struct {
        RenameRule rule;
        const char* named;  // empty: no problem
    } cases[] = {
        {Rule(kCustomRenamePattern, RenameSource::V2, QStringLiteral("%歌手%")), "%歌手%"},
        {Rule(kCustomRenamePattern, RenameSource::V1, QStringLiteral("%作曲% - %歌名%")), "%作曲%"},
        {Rule(kCustomRenamePattern, RenameSource::V1, QStringLiteral("%碟号%-%专辑艺术家%")),
         "%专辑艺术家%"},
        {Rule(kCustomRenamePattern, RenameSource::V2ThenV1, QStringLiteral("%作曲% - %歌名%")), ""},
        {Rule(kCustomRenamePattern, RenameSource::V1, QStringLiteral("%年份% %歌名%")), ""},
        {Rule(0, RenameSource::V1), "没有选择"},
        {Rule(5, RenameSource::V2), ""},
    };
    for (const auto& c : cases) {
        const QString problem = RenameRuleProblem(c.rule);
        if (*c.named == '\0')
            EXPECT_TRUE(problem.isEmpty()) << c.rule.custom.toStdString() << problem.toStdString();
        else
            EXPECT_TRUE(problem.contains(QString::fromUtf8(c.named))) << problem.toStdString();
    }
}

TEST_F(RenameRulePlan, SlashesInTagsBecomeFullWidthOtherForbiddenCharactersStillBlock) {
    // "AC/DC" is a name, not a folder; a colon still blocks without Windows names
    Put("s.mp3", V2Tag(V2Text("TIT2", "Live: Best") + V2Text("TPE1", "AC/DC")) + Audio(50));
    const RenameRow plain = Plan(QStringLiteral("s.mp3"), Rule(1, RenameSource::V2));
    EXPECT_EQ(plain.newName, QStringLiteral("AC／DC-Live: Best.mp3"));
    EXPECT_FALSE(plain.ready);
    EXPECT_TRUE(plain.blockedBy.contains(QStringLiteral("“:”"))) << plain.blockedBy.toStdString();
    const RenameRow windows = Plan(QStringLiteral("s.mp3"), Rule(1, RenameSource::V2, {}, true));
    EXPECT_EQ(windows.newName, QStringLiteral("AC／DC-Live： Best.mp3"));
    EXPECT_TRUE(windows.ready) << windows.blockedBy.toStdString();
}

TEST(WindowsSafeName, ReplacesWhatFatAndNtfsRefuse) {
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"a:b*c?d\"e<f>g|h.mp3", u"a：b＊c？d＂e＜f＞g｜h.mp3"},
        {u"tab\there\x01.mp3", u"tab\u2409here\u2401.mp3"},
        {u"del\x7f.mp3", u"del\u2421.mp3"},
        {u"ends with dot..mp3", u"ends with dot．.mp3"},
        {u"ends with blank .mp3", u"ends with blank\u3000.mp3"},
        {u"Folder. \\Song.mp3", u"Folder．\u3000\\Song.mp3"},  // every part
        {u"Plain\\Name.mp3", u"Plain\\Name.mp3"},
        {u"晴天.mp3", u"晴天.mp3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowsSafeName(QString::fromUtf16(c.in)), QString::fromUtf16(c.out))
            << QString::fromUtf16(c.in).toStdString();
    }
}

TEST(WindowsSafeName, CutsLongNamesAtAWholeCharacterBeforeTheExtension) {
    // 100 characters of 3 bytes: 300 bytes + ".mp3"; 83 fit beside the extension
    const QString title(100, QChar(u'晴'));
    const QString cut = WindowsSafeName(title + QStringLiteral(".mp3"));
    EXPECT_EQ(cut, QString(83, QChar(u'晴')) + QStringLiteral(".mp3"));
    EXPECT_LE(cut.toUtf8().size(), kMaxNameBytes);
    // a character outside the BMP (4 bytes, two UTF-16 units) is never split
    QString wide;
    for (int i = 0; i < 70; ++i) wide += QString::fromUtf16(u"\U0001F3B5");
    const QString cutWide = WindowsSafeName(wide + QStringLiteral(".mp3"));
    EXPECT_EQ(cutWide.size(), 62 * 2 + 4);
    EXPECT_FALSE(cutWide.at(cutWide.size() - 5).isHighSurrogate());
    // a folder part is cut too, without an extension to keep
    const QString folder =
        WindowsSafeName(QString(300, QLatin1Char('x')) + QStringLiteral("\\a.mp3"));
    EXPECT_EQ(folder, QString(255, QLatin1Char('x')) + QStringLiteral("\\a.mp3"));
}

TEST_F(RenameRulePlan, LongNamesAreBlockedWithTheirReasonUnlessCut) {
    const QString title(90, QChar(u'晴'));  // 270 bytes of UTF-8
    Put("long.mp3", V2Tag(V2Text("TIT2", Gbk(title))) + Audio(50));
    const RenameRow blocked = Plan(QStringLiteral("long.mp3"), Rule(4, RenameSource::V2));
    EXPECT_FALSE(blocked.ready);
    EXPECT_TRUE(blocked.blockedBy.contains(QStringLiteral("有 274 字节，超过了 255 字节")))
        << blocked.blockedBy.toStdString();
    const RenameRow cut = Plan(QStringLiteral("long.mp3"), Rule(4, RenameSource::V2, {}, true));
    EXPECT_TRUE(cut.ready) << cut.blockedBy.toStdString();
    EXPECT_EQ(cut.newName, QString(83, QChar(u'晴')) + QStringLiteral(".mp3"));
}

// A folder of files tagged in every way a library mixes: ID3v2 only, ID3v1
// only, both, neither, ID3v2 without an artist. Under "ID3v2 优先" no file
// with an ID3v2 title and artist is blocked, and the v1-only files are
// renamed after their ID3v1 tag.
TEST_F(RenameRulePlan, PreferringV2BlocksNoFileWithAnID3v2TitleAndArtist) {
    TickedFiles files{dir.path(), {}};
    std::vector<int> kinds;
    for (int i = 0; i < 300; ++i) {
        const int kind = i % 5;
        const QByteArray n = QByteArray::number(i);
        QByteArray bytes;
        switch (kind) {
            case 0:  // ID3v2 only
                bytes = V2Tag(V2Text("TIT2", "Song " + n) + V2Text("TPE1", "Band")) + Audio(64);
                break;
            case 1:  // ID3v1 only
                bytes = Audio(64) + V1Bytes("Old " + n, "Group");
                break;
            case 2:  // both, which differ
                bytes = V2Tag(V2Text("TIT2", "Song " + n) + V2Text("TPE1", "Band")) + Audio(64) +
                        V1Bytes("Old " + n, "Group");
                break;
            case 3:  // neither
                bytes = Audio(64);
                break;
            case 4:  // ID3v2 with a title only, ID3v1 with the artist
                bytes = V2Tag(V2Text("TIT2", "Song " + n)) + Audio(64) + V1Bytes("x", "Group");
                break;
        }
        const QString name = QStringLiteral("f%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
        WriteBytes(Path(name), bytes);
        files.names << name;
        kinds.push_back(kind);
    }
    RenameRule rule;
    rule.pattern = 1;
    rule.source = RenameSource::V2ThenV1;
    const std::vector<RenameRow> rows = PlanRename(files, rule);
    ASSERT_EQ(rows.size(), kinds.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(files.names[qsizetype(i)].toStdString());
        const QString n = QString::number(i);
        switch (kinds[i]) {
            case 0:
            case 2:
                EXPECT_TRUE(rows[i].ready) << rows[i].blockedBy.toStdString();
                EXPECT_EQ(rows[i].newName,
                          QStringLiteral("Band-Song ") + n + QStringLiteral(".mp3"));
                break;
            case 1:
                EXPECT_EQ(rows[i].newName,
                          QStringLiteral("Group-Old ") + n + QStringLiteral(".mp3"));
                EXPECT_TRUE(rows[i].ready);
                break;
            case 3:
                EXPECT_FALSE(rows[i].ready);
                break;
            case 4:
                EXPECT_EQ(rows[i].newName,
                          QStringLiteral("Group-Song ") + n + QStringLiteral(".mp3"));
                EXPECT_TRUE(rows[i].ready);
                break;
        }
    }
}

}  // namespace

namespace {

TEST_F(RenameRulePlan, AlbumArtistAndDiscComeFromTheirFrames) {
    Put("a.mp3", V2Tag(V2Text("TIT2", "Song") + V2Text("TPE2", "Various") + V2Text("TPOS", "2/3")) +
                     Audio(50));
    const RenameRow row =
        Plan(QStringLiteral("a.mp3"), Rule(kCustomRenamePattern, RenameSource::V2ThenV1,
                                           QStringLiteral("%专辑艺术家%\\%碟号%-%歌名%")));
    EXPECT_EQ(row.newName, QStringLiteral("Various\\2-Song.mp3"));
    EXPECT_TRUE(row.ready) << row.blockedBy.toStdString();
}

}  // namespace
