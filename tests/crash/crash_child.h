#pragma once
// What the crash tests share: the child they kill is this same program
// started with "--child ROOT", and how many kills a run makes.
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <cstdio>

// Starts `self --child root`; the child's pid.
inline pid_t StartCrashChild(const QString& self, const QString& root) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const QByteArray exe = QFile::encodeName(self);
        const QByteArray dir = QFile::encodeName(root);
        ::execl(exe.constData(), exe.constData(), "--child", dir.constData(), nullptr);
        ::_exit(127);
    }
    return pid;
}

// The kills asked for: the first argument, else $TAMBERLO_CRASH_KILLS, else
// `fallback`.
inline int CrashKills(const QStringList& args, int fallback) {
    int kills = qEnvironmentVariableIntValue("TAMBERLO_CRASH_KILLS");
    if (args.size() > 1)
        kills = args[1].toInt();
    return kills > 0 ? kills : fallback;
}

// Runs one child to its end undisturbed: how long it took in microseconds
// (kills are then spread over that span), or -1 when it failed on its own.
inline qint64 TimeUndisturbedChild(const QString& self, const QString& root) {
    QElapsedTimer timer;
    timer.start();
    int status = 0;
    ::waitpid(StartCrashChild(self, root), &status, 0);
    const qint64 us = timer.nsecsElapsed() / 1000;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the child failed on its own\n");
        return -1;
    }
    return us;
}
