#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "batch/writesettings.h"
#include "store/programfolder.h"

namespace {

using legacytext::CodePage;

class SettingsFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetProgramFolder(dir_.path());
    }
    void TearDown() override { SetProgramFolder({}); }
    void WriteFile(const QByteArray& bytes) {
        QFile file(dir_.path() + QStringLiteral("/tamberlo.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTemporaryDir dir_;
};

TEST_F(SettingsFile, TextAndWriteSettingsShareOneFileAndKeepEachOther) {
    const struct {
        std::optional<CodePage> legacy;
        id3v2text::WriteMode write;
        bool keepMtime;
    } cases[] = {
        {std::nullopt, id3v2text::WriteMode::Gbk, false},
        {CodePage::Big5, id3v2text::WriteMode::Unicode, true},
        {CodePage::Western, id3v2text::WriteMode::Gbk, true},
        {CodePage::Korean, id3v2text::WriteMode::Unicode, false},
    };
    for (const auto& c : cases) {
        SaveWriteSettings({.keepMtime = c.keepMtime, .splitHardLinks = true});
        SaveTextSettings({c.legacy, c.write});
        EXPECT_EQ(LoadTextSettings(), (TextSettings{c.legacy, c.write}));
        EXPECT_EQ(LoadWriteSettings().keepMtime, c.keepMtime);
        EXPECT_TRUE(LoadWriteSettings().splitHardLinks);
    }
    EXPECT_EQ(SettingsFilePath(), dir_.path() + QStringLiteral("/tamberlo.ini"));
    EXPECT_FALSE(QFile::exists(dir_.path() + QStringLiteral("/textcode.ini")));
}

TEST_F(SettingsFile, MissingOrUnknownValuesGiveTheDefaults) {
    const QByteArray files[] = {
        "",
        "[text]\nlegacy=437\nwrite=utf8\n",
        "[text]\nlegacy=\nwrite=\n",
        "garbage\x01\xff\n[text\nlegacy",
    };
    for (const QByteArray& bytes : files) {
        WriteFile(bytes);
        EXPECT_EQ(LoadTextSettings(), TextSettings{}) << bytes.toStdString();
    }
    WriteFile("[text]\nlegacy=950\nwrite=utf16\n");
    EXPECT_EQ(LoadTextSettings(), (TextSettings{CodePage::Big5, id3v2text::WriteMode::Unicode}));
}

}  // namespace
