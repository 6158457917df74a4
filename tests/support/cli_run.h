#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// tamberlo-cli run as a program: the one the build made (TAMBERLO_CLI).
struct CliRun {
    int status = -1;  // the exit status, -1 when it crashed or hung
    QByteArray out;
    QString err;
};
CliRun RunCli(const QStringList& args, const QString& workingDir = {});
