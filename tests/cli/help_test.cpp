// tamberlo-cli --help, --version and help COMMAND: what they print, their
// exit status, and that the help of each command names every option the
// command's own usage line does.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>

#include "support/cli_run.h"

namespace {

const QStringList kCommands = {"show", "list", "v1", "v2", "rename"};

// The --options named in `text` from its "usage:" line on (a complaint
// before it may quote an option the command does not have).
QSet<QString> Options(const QString& text) {
    static const QRegularExpression option(QStringLiteral("--[A-Za-z0-9][A-Za-z0-9-]*"));
    QSet<QString> found;
    auto matches = option.globalMatch(text.mid(text.indexOf(QLatin1String("usage:"))));
    while (matches.hasNext()) found.insert(matches.next().captured());
    return found;
}

}  // namespace

TEST(CliHelp, VersionIsTheProjectVersion) {
    const CliRun run = RunCli({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QByteArray("tamberlo-cli " TAMBERLO_VERSION "\n"));
}

TEST(CliHelp, HelpListsEveryCommandOnStdoutWithTheExitStatuses) {
    for (const QStringList& args :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"help"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        const QString out = QString::fromUtf8(run.out);
        for (const QString& command : kCommands)
            EXPECT_TRUE(out.contains(QStringLiteral("\n  ") + command + QLatin1Char(' ')))
                << command.toStdString();
        EXPECT_TRUE(out.contains(QLatin1String("Exit status: 0"))) << out.toStdString();
    }
}

TEST(CliHelp, EachCommandsHelpNamesEveryOptionOfItsUsage) {
    for (const QString& command : kCommands) {
        SCOPED_TRACE(command.toStdString());
        // Without arguments every command complains with its usage.
        const CliRun usage = RunCli({command});
        ASSERT_EQ(usage.status, 2);
        const CliRun help = RunCli({"help", command});
        EXPECT_EQ(help.status, 0);
        const QString text = QString::fromUtf8(help.out);
        EXPECT_TRUE(text.startsWith(QStringLiteral("usage: tamberlo-cli ") + command))
            << text.toStdString();
        const QSet<QString> wanted = Options(usage.err);
        EXPECT_FALSE(wanted.isEmpty() && command != QLatin1String("show"));
        for (const QString& option : wanted)
            EXPECT_TRUE(text.contains(option)) << option.toStdString();
        // --help before the command's name asks for the same text.
        EXPECT_EQ(RunCli({"--help", command}).out, help.out);
    }
}

TEST(CliHelp, UnknownCommandsAreUsageErrorsOnStderr) {
    const struct {
        QStringList args;
    } cases[] = {
        {{}},
        {{"help", "frobnicate"}},
        {{"help", "v1", "v2"}},
        {{"frobnicate"}},
        {{"--version", "x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run = RunCli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(QLatin1String("usage: tamberlo-cli COMMAND")))
            << run.err.toStdString();
    }
}
