// tamberlo-cli list prints the rows the main window shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/mainwindow.h"
#include "app/mp3listmodel.h"
#include "batch/columns.h"
#include "store/programfolder.h"
#include "support/fixtures.h"
#include "support/scripted_prompter.h"

namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

class CliListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(program.isValid());
        ASSERT_TRUE(music.isValid());
        // A copy of the program in its own folder: clmnhdr.dll is looked up
        // beside the executable, so each test decides what it finds there.
        cli = program.filePath(QStringLiteral("tamberlo-cli"));
        ASSERT_TRUE(QFile::copy(qEnvironmentVariable("TAMBERLO_CLI"), cli));
        SetProgramFolder(program.path());
    }
    void TearDown() override { SetProgramFolder({}); }

    CliRun run(const QStringList& args) const {
        QProcess process;
        process.start(cli, QStringList{QStringLiteral("list")} + args);
        process.waitForFinished(60000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    void writeSongs() const {
        WriteBytes(music.filePath(QStringLiteral("b.mp3")),
                   V2Tag(V2Text("TIT2", Gbk(QStringLiteral("甜蜜蜜")))) + Audio(5000) +
                       V1Bytes(Gbk(QStringLiteral("甜蜜蜜")), Gbk(QStringLiteral("邓丽君")),
                               Gbk(QStringLiteral("专辑")), "1979", {}, 1, 255));
        WriteBytes(music.filePath(QStringLiteral("A.MP3")), Audio(1536));
        WriteBytes(music.filePath(QStringLiteral("空.mp3")), {});
        WriteBytes(music.filePath(QStringLiteral("c.mp3")),
                   Audio(3417089 - 128) + V1Bytes("Tab\there", "x", {}, {}, {}, 0, 17));
        WriteBytes(music.filePath(QStringLiteral("notes.txt")), "not listed");
    }

    QTemporaryDir program;
    QTemporaryDir music;
    QString cli;
};

}  // namespace

TEST_F(CliListTest, DefaultColumnsPrintExactlyWhatTheWindowShows) {
    writeSongs();
    ScriptedPrompter prompter;
    Main main(prompter);  // writes the default clmnhdr.dll beside the copied program
    main.changeFolder(music.path());
    const Mp3ListModel* model = main.listModel();
    QStringList expected;
    QStringList header;
    for (int c = 0; c < model->columnCount(); ++c)
        header << model->headerData(c, Qt::Horizontal).toString();
    expected << header.join(QLatin1Char('\t'));
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->data(model->index(r, c)).toString().replace(QLatin1Char('\t'), "\\t");
        expected << cells.join(QLatin1Char('\t'));
    }
    ASSERT_EQ(model->rowCount(), 4);

    const CliRun result = run({music.path()});
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, expected.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    EXPECT_TRUE(
        result.out.contains(QStringLiteral("b.mp3\t甜蜜蜜\t邓丽君\t专辑\t1979\tOther\t有\t")));
    EXPECT_TRUE(
        result.out.contains(QStringLiteral("c.mp3\tTab\\there\tx\t\t\tRock\t无\t3,337.00\n")));
}

TEST_F(CliListTest, MissingColumnFileMeansTheDefaultWithoutWritingIt) {
    writeSongs();
    const CliRun result = run({music.path()});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.startsWith(QStringLiteral(
        "文件名\t歌名\t艺术家\t专辑\t年份\t类型\t有无 ID3v2\t文件大小(K)\nA.MP3\tN/A\t")));
    EXPECT_FALSE(QFile::exists(program.filePath(QStringLiteral("clmnhdr.dll"))));
}

TEST_F(CliListTest, ColumnsOptionChoosesAndRepeatsColumns) {
    writeSongs();
    const CliRun result =
        run({QStringLiteral("--columns"), QStringLiteral("305,306,305"), music.path()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, QStringLiteral("文件大小(K)\t文件名\t文件大小(K)\n"
                                         "1.50\tA.MP3\t1.50\n"
                                         "5.03\tb.mp3\t5.03\n"
                                         "3,337.00\tc.mp3\t3,337.00\n"
                                         "0.00\t空.mp3\t0.00\n"));
}

TEST_F(CliListTest, RecursiveListingAndAudioColumns) {
    writeSongs();
    ASSERT_TRUE(QDir().mkpath(music.filePath(QStringLiteral("周杰伦/叶惠美"))));
    WriteBytes(music.filePath(QStringLiteral("周杰伦/叶惠美/晴天.mp3")), MpegFrames(300));
    const QStringList codes = {QStringLiteral("--columns"),
                               QStringLiteral("306,401,402,403,404,405")};
    const CliRun flat = run(codes + QStringList{music.path()});
    EXPECT_EQ(flat.status, 0);
    EXPECT_FALSE(flat.out.contains(QStringLiteral("晴天")));
    for (const QString& option : {QStringLiteral("--recursive"), QStringLiteral("-r")}) {
        const CliRun deep = run(codes + QStringList{option, music.path()});
        EXPECT_EQ(deep.status, 0) << deep.err.toStdString();
        const QStringList lines = deep.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 6);
        EXPECT_EQ(lines.first(),
                  QStringLiteral("文件名\t时长\t比特率\t采样率\t声道\tMPEG 版本/层"));
        EXPECT_EQ(lines.last(), QStringLiteral("周杰伦/叶惠美/晴天.mp3\t0:08\t128 kbit/s\t44.1 "
                                               "kHz\t联合立体声\tMPEG-1 Layer III"));
        EXPECT_EQ(lines.at(4), QStringLiteral("空.mp3\t\t\t\t\t"));  // no audio frame
    }
}

TEST_F(CliListTest, BadArgumentsAndUnreadableFolders) {
    EXPECT_EQ(run({}).status, 2);
    EXPECT_EQ(run({music.path(), music.path()}).status, 2);
    EXPECT_EQ(run({QStringLiteral("--columns"), QStringLiteral("101,999"), music.path()}).status,
              2);
    EXPECT_EQ(run({QStringLiteral("--sort"), music.path()}).status, 2);
    const CliRun missing = run({music.filePath(QStringLiteral("nowhere"))});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("nowhere")));
    EXPECT_TRUE(missing.out.isEmpty());
}

// Where the program's own folder cannot be written, the command line finds
// the same per-user folder, and so the same clmnhdr.dll, as the window.
TEST_F(CliListTest, AnUnwritableProgramFolderLeadsToTheWindowsConfigurationFolder) {
    // Root may write any folder; the command line then runs as nobody.
    const bool asRoot = ::geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (asRoot && setpriv.isEmpty())
        GTEST_SKIP() << "running as root without setpriv";
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QString window = config.filePath(QStringLiteral("Tamberlo"));
    ASSERT_TRUE(QDir().mkpath(window));
    WriteBytes(window + QStringLiteral("/clmnhdr.dll"),  // header, then 306 and 104
               QByteArray("\x00\x00\x20\x00"
                          "\x32\x01"
                          "\x68\x00",
                          8));
    writeSongs();
    for (const QString& folder : {program.path(), music.path(), config.path(), window}) {
        const auto mode = folder == program.path() ? QFile::ReadOwner | QFile::ExeOwner
                                                   : QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner | QFile::WriteOther;
        ASSERT_TRUE(QFile::setPermissions(folder, mode | QFile::ReadOther | QFile::ExeOther));
    }

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("HOME"), config.path());
    process.setProcessEnvironment(env);
    const QStringList args = {QStringLiteral("list"), music.path()};
    if (asRoot) {
        process.start(setpriv,
                      QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", cli} + args);
    } else {
        process.start(cli, args);
    }
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(out.startsWith(QStringLiteral("文件名\t年份\nA.MP3\tN/A\n"))) << out.toStdString();
}
