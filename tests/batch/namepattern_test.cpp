// The placeholder language of name patterns: parsing (and naming what is
// wrong), composing names, and reading fields back out of file names.
#include "batch/namepattern.h"

#include <gtest/gtest.h>

namespace {

NameValues Sample() {
    NameValues values;
    values[size_t(NameField::Title)] = QStringLiteral("晴天");
    values[size_t(NameField::Artist)] = QStringLiteral("周杰伦");
    values[size_t(NameField::Album)] = QStringLiteral("叶惠美");
    values[size_t(NameField::Year)] = QStringLiteral("2003");
    values[size_t(NameField::Track)] = QStringLiteral("03");
    values[size_t(NameField::Composer)] = QStringLiteral("作者");
    values[size_t(NameField::AlbumArtist)] = QStringLiteral("群星");
    values[size_t(NameField::Disc)] = QStringLiteral("2");
    values[size_t(NameField::FileName)] = QStringLiteral("old name");
    return values;
}

TEST(NamePattern, ComposesEveryPlaceholderAndKeepsLiterals) {
    const struct {
        const char* pattern;
        const char* name;
    } cases[] = {
        {"%歌名%", "晴天"},
        {"%音轨% %艺术家% - %歌名%", "03 周杰伦 - 晴天"},
        {"%专辑艺术家%\\%专辑% (%年份%)\\%碟号%-%音轨% %歌名%", "群星\\叶惠美 (2003)\\2-03 晴天"},
        {"%作曲%_%原文件名%", "作者_old name"},
        {"100%% %歌名%", "100% 晴天"},
        {"%歌名%.mp3", "晴天"},  // the extension is always added, never doubled
        {"%歌名%.MP3", "晴天"},
    };
    for (const auto& c : cases) {
        const NamePattern pattern = ParseNamePattern(QString::fromUtf8(c.pattern));
        ASSERT_TRUE(pattern.ok()) << c.pattern << ": " << pattern.problem.toStdString();
        EXPECT_EQ(ComposeFromPattern(pattern, Sample()), QString::fromUtf8(c.name)) << c.pattern;
    }
}

TEST(NamePattern, NamesWhatIsWrongWithATypedPattern) {
    const struct {
        const char* pattern;
        const char* named;  // a piece the problem must quote
    } cases[] = {
        {"%歌手% - %歌名%", "%歌手%"},
        {"%艺术家% - %title%", "%title%"},
        {"%艺术家 - 歌名", "“%”没有配对"},
        {"", "格式为空"},
        {"   ", "格式为空"},
        {".mp3", "格式为空"},
    };
    for (const auto& c : cases) {
        const NamePattern pattern = ParseNamePattern(QString::fromUtf8(c.pattern));
        EXPECT_FALSE(pattern.ok()) << c.pattern;
        EXPECT_TRUE(pattern.problem.contains(QString::fromUtf8(c.named)))
            << c.pattern << ": " << pattern.problem.toStdString();
    }
}

TEST(NamePattern, ListsItsPlaceholdersOnceInOrder) {
    const NamePattern pattern = ParseNamePattern(QStringLiteral("%歌名%-%艺术家%-%歌名%"));
    EXPECT_EQ(pattern.fields(), (std::vector<NameField>{NameField::Title, NameField::Artist}));
    EXPECT_TRUE(pattern.uses(NameField::Artist));
    EXPECT_FALSE(pattern.uses(NameField::Album));
}

TEST(NamePattern, ReadsFieldsBackOutOfNames) {
    const struct {
        const char* pattern;
        const char* stem;
        bool matches;
        std::vector<std::pair<NameField, const char*>> values;
    } cases[] = {
        {"%音轨% %艺术家% - %歌名%",
         "01 周杰伦 - 晴天",
         true,
         {{NameField::Track, "01"}, {NameField::Artist, "周杰伦"}, {NameField::Title, "晴天"}}},
        // the title may hold the separator itself: earlier fields take the least
        {"%艺术家% - %歌名%",
         "Band - Song - Live",
         true,
         {{NameField::Artist, "Band"}, {NameField::Title, "Song - Live"}}},
        // blanks around a field are not part of it
        {"%音轨%.%歌名%",
         "7.  Hello ",
         true,
         {{NameField::Track, "7"}, {NameField::Title, "Hello"}}},
        {"%年份% %专辑%",
         "2003 叶惠美",
         true,
         {{NameField::Year, "2003"}, {NameField::Album, "叶惠美"}}},
        {"%音轨% %歌名%", "A1 Song", false, {}},    // a track is digits
        {"%年份% %专辑%", "03 叶惠美", false, {}},  // a year is four digits
        {"%艺术家% - %歌名%", "NoSeparator", false, {}},
        {"%艺术家% - %歌名%", "Band - ", false, {}},  // a field is never empty
        {"[%碟号%] %歌名%", "[2] Song", true, {{NameField::Disc, "2"}, {NameField::Title, "Song"}}},
        {"(%歌名%)",
         "(a.b*c)",
         true,
         {{NameField::Title, "a.b*c"}}},  // literals are not expressions
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.stem);
        const NamePattern pattern = ParseNamePattern(QString::fromUtf8(c.pattern));
        ASSERT_TRUE(ExtractionProblem(pattern).isEmpty())
            << ExtractionProblem(pattern).toStdString();
        const std::optional<NameValues> values =
            MatchNamePattern(pattern, QString::fromUtf8(c.stem));
        ASSERT_EQ(values.has_value(), c.matches);
        for (const auto& [field, text] : c.values)
            EXPECT_EQ((*values)[size_t(field)], QString::fromUtf8(text));
    }
}

TEST(NamePattern, RefusesPatternsThatCannotBeReadBack) {
    const struct {
        const char* pattern;
        const char* named;
    } cases[] = {
        {"%艺术家%\\%歌名%", "“\\”"},    {"%原文件名%", "%原文件名%"},
        {"%歌名% %歌名%", "出现了两次"}, {"%艺术家%%歌名%", "没有分隔"},
        {"just text", "没有占位符"},     {"%未知%", "%未知%"},
    };
    for (const auto& c : cases) {
        const QString problem = ExtractionProblem(ParseNamePattern(QString::fromUtf8(c.pattern)));
        EXPECT_TRUE(problem.contains(QString::fromUtf8(c.named)))
            << c.pattern << ": " << problem.toStdString();
    }
}

}  // namespace
