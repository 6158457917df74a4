// The window's command line: which action each line asks for, and the path
// it carries. (Where the start lists and what it selects: mainwindow_test.)
#include "app/startplace.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "support/fixtures.h"

namespace {

using Action = WindowCommandLine::Action;

QList<QByteArray> Line(std::initializer_list<const char*> words) {
    QList<QByteArray> arguments;
    for (const char* word : words) arguments.append(word);
    return arguments;
}

}  // namespace

TEST(WindowCommandLine, EachLineGivesItsActionAndPath) {
    const struct {
        QList<QByteArray> arguments;
        Action action;
        const char* path;
    } cases[] = {
        {Line({}), Action::Run, ""},
        {Line({"/music"}), Action::Run, "/music"},
        {Line({"歌.mp3"}), Action::Run, "歌.mp3"},
        {Line({"--help"}), Action::Help, ""},
        {Line({"-h"}), Action::Help, ""},
        {Line({"--version"}), Action::Version, ""},
        {Line({"-v"}), Action::Version, ""},
        // Before Qt takes its options out, they stand beside ours.
        {Line({"-platform", "offscreen", "--version"}), Action::Version, ""},
        {Line({"--bogus", "--help"}), Action::Help, ""},
        {Line({"a", "b", "--version"}), Action::Version, ""},
        {Line({"--", "--help"}), Action::Run, "--help"},
        {Line({"--", "-"}), Action::Run, "-"},
        {Line({"--bogus"}), Action::UsageError, ""},
        {Line({"-"}), Action::UsageError, ""},
        {Line({"a", "b"}), Action::UsageError, ""},
        {Line({"a", "--", "b"}), Action::UsageError, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const WindowCommandLine line = ParseWindowCommandLine(c.arguments);
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.path, QString::fromUtf8(c.path));
        EXPECT_EQ(line.problem.isEmpty(), c.action != Action::UsageError);
    }
}

TEST(WindowCommandLine, VersionAndHelpNameTheProgram) {
    EXPECT_EQ(WindowVersion(), QStringLiteral("tamberlo " TAMBERLO_VERSION "\n"));
    EXPECT_TRUE(WindowUsage().startsWith(QStringLiteral("usage: tamberlo [FOLDER | FILE]\n")));
}

TEST(StartPlace, PathsResolveAgainstTheCurrentFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/专辑")));
    WriteBytes(root + QStringLiteral("/专辑/歌.mp3"), Audio(16));
    const struct {
        const char* what;
        QString argument;
        QString folder;
        QString fileName;
        bool notice;
    } cases[] = {
        {"nothing", {}, root, {}, false},
        {"absolute folder",
         root + QStringLiteral("/专辑"),
         root + QStringLiteral("/专辑"),
         {},
         false},
        {"folder with slash",
         root + QStringLiteral("/专辑/"),
         root + QStringLiteral("/专辑"),
         {},
         false},
        {"relative folder", QStringLiteral("专辑"), root + QStringLiteral("/专辑"), {}, false},
        {"dot", QStringLiteral("."), root, {}, false},
        {"relative file", QStringLiteral("专辑/歌.mp3"), root + QStringLiteral("/专辑"),
         QStringLiteral("歌.mp3"), false},
        {"file through ..", QStringLiteral("专辑/../专辑/歌.mp3"), root + QStringLiteral("/专辑"),
         QStringLiteral("歌.mp3"), false},
        {"missing file", QStringLiteral("专辑/无.mp3"), root + QStringLiteral("/专辑"), {}, true},
        {"missing tree", root + QStringLiteral("/无/更深"), root, {}, true},
        {"the root", QStringLiteral("/"), QStringLiteral("/"), {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const StartPlace place = ChooseStartPlace(StartSources{c.argument, root});
        EXPECT_EQ(place.folder, c.folder);
        EXPECT_EQ(place.fileName, c.fileName);
        EXPECT_EQ(!place.notice.isEmpty(), c.notice);
        if (c.notice) {
            EXPECT_EQ(place.notice,
                      QStringLiteral("“%1”不存在，现在列出的是“%2”。").arg(c.argument, c.folder));
        }
    }
}

TEST(StartPlace, TheLastFolderServesOnlyWhenNothingIsGivenAndItStillExists) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    const QString last = root + QStringLiteral("/上次");
    ASSERT_TRUE(QDir().mkpath(last));
    WriteBytes(root + QStringLiteral("/不是目录"), "x");
    const struct {
        const char* what;
        QString argument;
        QString lastFolder;
        QString folder;
    } cases[] = {
        {"last folder", {}, last, last},
        {"argument wins", QStringLiteral("."), last, root},
        {"last folder gone", {}, root + QStringLiteral("/已删除"), root},
        {"last folder a file", {}, root + QStringLiteral("/不是目录"), root},
        {"last folder relative", {}, QStringLiteral("上次"), root},
        {"none kept", {}, {}, root},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const StartPlace place = ChooseStartPlace(StartSources{c.argument, root, c.lastFolder});
        EXPECT_EQ(place.folder, c.folder);
        EXPECT_TRUE(place.notice.isEmpty());
    }
}
