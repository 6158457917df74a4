// tamberlo-cli fix-encoding: the preview it prints, --dry-run, --to and the run.
#include <gtest/gtest.h>

#include "batch/edit_folder_fixture.h"
#include "store/tagvalues.h"
#include "support/cli_run.h"
#include "support/qt_printers.h"

namespace {

class CliFixEncoding : public EditFolder {};

TEST_F(CliFixEncoding, PrintsThePreviewThenRepairsAndConverts) {
    // 七里香 in code page 936 read as Latin-1 and saved as UTF-16, and Big5.
    QByteArray mojibake("\x01\xFF\xFE", 3);
    for (const char c : QByteArray("\xC6\xDF\xC0\xEF\xCF\xE3")) mojibake += c + QByteArray(1, 0);
    const QByteArray garbled = V2Tag(V2Frame("TIT2", mojibake)) + MpegFrames(4);
    const QByteArray big5 = V2Tag(V2Text("TPE1", "\xA9\x50\xAA\x4E\xAD\xDB")) + MpegFrames(4);
    const QByteArray plain = V2Tag(V2Text("TIT2", "Yesterday")) + MpegFrames(4);
    put("a.mp3", garbled);
    put("b.mp3", big5);
    put("c.mp3", plain);
    const QStringList files = {path("a.mp3"), path("b.mp3"), path("c.mp3")};

    const CliRun dry = RunCli(QStringList{"fix-encoding", "--dry-run", "--to", "utf16"} + files);
    EXPECT_EQ(dry.status, 0) << qPrintable(dry.err);
    EXPECT_EQ(QString::fromUtf8(dry.out),
              path("a.mp3") +
                  QStringLiteral("\n  ID3v2 歌名：ÆßÀïÏã（乱码?） → 七里香（Unicode）\n") +
                  path("b.mp3") +
                  QStringLiteral("\n  ID3v2 艺术家：周杰倫（Big5） → 周杰倫（Unicode）\n") +
                  path("c.mp3") + QStringLiteral(": 没有需要修复或转换的文字\n"));
    EXPECT_EQ(bytes("a.mp3"), garbled);
    EXPECT_EQ(bytes("b.mp3"), big5);

    const CliRun run = RunCli(QStringList{"fix-encoding", "--to", "gbk"} + files);
    EXPECT_EQ(run.status, 0) << qPrintable(run.err);
    EXPECT_EQ(ReadID3v2Values(path("a.mp3")).field("TIT2").read, QStringLiteral("七里香"));
    EXPECT_EQ(ReadID3v2Values(path("a.mp3")).field("TIT2").stored.encoding, 0);  // GBK
    EXPECT_EQ(ReadID3v2Values(path("b.mp3")).field("TPE1").read, QStringLiteral("周杰倫"));
    EXPECT_EQ(bytes("c.mp3"), plain);

    EXPECT_EQ(RunCli({"fix-encoding", "--to", "latin1", path("a.mp3")}).status, 2);
    EXPECT_EQ(RunCli({"fix-encoding"}).status, 2);
    const CliRun help = RunCli({"help", "fix-encoding"});
    EXPECT_TRUE(
        help.out.startsWith("usage: tamberlo-cli fix-encoding [--dry-run] [--to utf16|gbk]"));
}

}  // namespace
