#include "run_native.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <vector>

#include "fixtures.h"

extern char** environ;

NativeRun RunNative(const QByteArray& program, const QList<QByteArray>& args) {
    NativeRun run;
    // Output goes to files, so neither stream can fill up and stall the child.
    QTemporaryDir outputs;
    const QByteArray outPath = Native(outputs.filePath("out"));
    const QByteArray errPath = Native(outputs.filePath("err"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.constData(), O_WRONLY | O_CREAT, 0644);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.constData()));
    for (const QByteArray& arg : args) argv.push_back(const_cast<char*>(arg.constData()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0) << program.constData();
    if (spawned != 0)
        return run;
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadNative(outPath);
    run.err = ReadNative(errPath);
    return run;
}
