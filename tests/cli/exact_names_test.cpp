// tamberlo-cli takes file names as bytes: a name that is not UTF-8 is shown,
// edited and renamed as itself, never as its look-alike, and printed in the
// same display form as the window shows.
#include <gtest/gtest.h>

#include "support/exact_names_fixture.h"
#include "support/qt_printers.h"
#include "support/run_native.h"

namespace {

class ExactNameCli : public ExactNameFolder {
  protected:
    NativeRun Cli(const QList<QByteArray>& args) const {
        return RunNative(qEnvironmentVariable("TAMBERLO_CLI").toUtf8(), args);
    }
};

TEST_F(ExactNameCli, ShowReadsTheNamedFileAndKeepsItsBytesInJson) {
    const NativeRun r = Cli({"show", Bytes(kGbkSunny)});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    // JSON's \u escapes of the lone surrogates give the bytes back to a
    // reader that knows the convention (Python's surrogateescape).
    EXPECT_TRUE(r.out.contains("\\udcc7\\udce7\\udccc\\udcec.mp3\"")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("\"Artist\": \"Jay")) << r.out.constData();
}

TEST_F(ExactNameCli, EditAndRenameReachOnlyTheNamedFile) {
    NativeRun r = Cli({"v1", "--artist", "\xE5\x91\xA8", Bytes(kGbkSunny)});  // 周
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(ReadNative(Bytes(kGbkSunny)).right(128).mid(33, 2), Gbk(QStringLiteral("周")));
    ExpectFffdUntouched();

    r = Cli({"rename", "--pattern", "4", "--dry-run", Bytes(kGbkSunny)});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out),
              temp.path() + QStringLiteral("/旧歌/晴天.mp3（非 UTF-8 文件名）\t晴天.mp3\tready\n"));

    r = Cli({"rename", "--pattern", "4", Bytes(kGbkSunny)});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_TRUE(ExistsNative(Bytes("\xE6\x99\xB4\xE5\xA4\xA9.mp3")));
    ExpectFffdUntouched({"\xE6\x99\xB4\xE5\xA4\xA9.mp3"});
}

TEST_F(ExactNameCli, ListShowsWhatTheWindowShows) {
    const NativeRun r = Cli({"list", "--columns", "306,102", folderBytes});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    lines.removeFirst();
    lines.sort();
    EXPECT_EQ(lines, (QStringList{gbkShown + "\tJay", QStringLiteral("����.mp3\tSomeone")}));
}

}  // namespace
