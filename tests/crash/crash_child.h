#pragma once
// What the crash tests share: the child they kill is this same program
// started with "--child ROOT", and how many kills a run makes.
#include <unistd.h>

#include <QFile>
#include <QStringList>

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
