#include "batch/columns.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "store/error.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

namespace {

class ColumnConfig : public ::testing::Test {
  protected:
    void SetUp() override { SetProgramFolder(dir.path()); }
    void TearDown() override { SetProgramFolder({}); }
    QTemporaryDir dir;
};

QByteArray Codes(std::initializer_list<int> header, std::initializer_list<int> codes) {
    QByteArray out;
    for (int v : header) out += char(v & 0xFF), out += char((v >> 8) & 0xFF);
    for (int v : codes) out += char(v & 0xFF), out += char((v >> 8) & 0xFF);
    return out;
}

}  // namespace

TEST(ColumnCatalogue, ThirtySevenEntriesWithTheirNamesAndPrefixes) {
    const QList<int>& codes = CatalogueCodes();
    ASSERT_EQ(codes.size(), 37);
    for (int code : codes) {
        EXPECT_TRUE(IsCatalogueCode(code)) << code;
        EXPECT_FALSE(ColumnHeaderText(code).isEmpty()) << code;
        EXPECT_TRUE(ColumnSetupText(code).endsWith(ColumnHeaderText(code))) << code;
    }
    for (int code : {0, 100, 108, 200, 218, 300, 309, 400, 406, 999, -101})
        EXPECT_FALSE(IsCatalogueCode(code));
    EXPECT_EQ(ColumnHeaderText(106), QStringLiteral("音轨编号"));
    // Stored codes keep their meaning: 213 the lyrics column that repeats the
    // comment; the frames added later take codes after it.
    EXPECT_EQ(ColumnHeaderText(212), QStringLiteral("编码"));
    EXPECT_EQ(ColumnHeaderText(213), QStringLiteral("歌词"));
    EXPECT_EQ(ColumnSetupText(214), QStringLiteral("ID3v2 - 专辑艺术家"));
    EXPECT_EQ(ColumnSetupText(215), QStringLiteral("ID3v2 - 碟号"));
    EXPECT_EQ(ColumnSetupText(216), QStringLiteral("ID3v2 - 歌词(USLT)"));
    EXPECT_EQ(ColumnSetupText(217), QStringLiteral("ID3v2 - 封面"));
    EXPECT_EQ(ColumnSetupText(210), QStringLiteral("ID3v2 - 版权"));
    EXPECT_EQ(ColumnSetupText(303), QStringLiteral("文件属性 - 是否只读文件"));
    EXPECT_EQ(ColumnSetupText(101), QStringLiteral("ID3v1 - 歌名"));
    EXPECT_EQ(ColumnSetupText(307), QStringLiteral("文件属性 - 文件内容"));
    EXPECT_EQ(ColumnSetupText(308), QStringLiteral("文件属性 - 文字编码"));
    EXPECT_EQ(ColumnSetupText(401), QStringLiteral("音频 - 时长"));
    EXPECT_EQ(ColumnSetupText(405), QStringLiteral("音频 - MPEG 版本/层"));
    EXPECT_EQ(codes.last(), 405);
}

TEST(ColumnCatalogue, FileFormatReading) {
    EXPECT_EQ(DefaultColumnConfig(),
              QByteArray("\x00\x00\x20\x00\x32\x01\x65\x00\x66\x00\x67\x00\x68\x00\x69\x00"
                         "\x2E\x01\x31\x01",
                         20));
    EXPECT_EQ(ParseColumnConfig(DefaultColumnConfig()),
              (QList<int>{306, 101, 102, 103, 104, 105, 302, 305}));
    EXPECT_TRUE(ParseColumnConfig(Codes({0, 32}, {})).isEmpty());             // no columns
    EXPECT_TRUE(ParseColumnConfig(QByteArray("\x00\x00\x20", 3)).isEmpty());  // short header
    EXPECT_EQ(ParseColumnConfig(Codes({0, 32}, {305, 305})), (QList<int>{305, 305}));
    EXPECT_EQ(ParseColumnConfig(Codes({0, 32}, {101, 999, -5, 0, 213})), (QList<int>{101, 213}));
    EXPECT_EQ(ParseColumnConfig(Codes({7, 7}, {202})), (QList<int>{202}));  // header not checked
    EXPECT_EQ(ParseColumnConfig(Codes({0, 32}, {201}) + char(0x65)),
              (QList<int>{201}));  // odd byte
}

TEST_F(ColumnConfig, FirstStartWritesTheDefaultFile) {
    EXPECT_EQ(LoadColumnCodes(), (QList<int>{306, 101, 102, 103, 104, 105, 302, 305}));
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("clmnhdr.dll"))),
              Codes({0, 32}, {306, 101, 102, 103, 104, 105, 302, 305}));
    // An existing file is read as it stands, zero columns included.
    WriteBytes(ColumnConfigPath(), Codes({0, 32}, {}));
    EXPECT_TRUE(LoadColumnCodes().isEmpty());
}

TEST_F(ColumnConfig, SaveSettingWritesEveryCodeInOrder) {
    SaveSetting({207, 101, 207});
    EXPECT_EQ(ReadBytes(ColumnConfigPath()), Codes({0, 32}, {207, 101, 207}));
    EXPECT_EQ(ReadColumnCodes(), (QList<int>{207, 101, 207}));
    SaveSetting({});
    EXPECT_EQ(ReadBytes(ColumnConfigPath()).size(), 4);
}

TEST_F(ColumnConfig, AnUnwritableFolderIsReportedAndKeepsDefaults) {
    // A "folder" that is really a file cannot hold the configuration, even for root.
    const QString notAFolder = dir.filePath(QStringLiteral("file"));
    WriteBytes(notAFolder, "x");
    SetProgramFolder(notAFolder);
    EXPECT_THROW(SaveSetting({101}), StoreError);
    EXPECT_EQ(LoadColumnCodes(), ParseColumnConfig(DefaultColumnConfig()));
    EXPECT_TRUE(ReadColumnCodes().isEmpty());
}
