#include "cli_run.h"

#include <gtest/gtest.h>

#include <QProcess>

CliRun RunCli(const QStringList& args, const QString& workingDir) {
    const QString cli = qEnvironmentVariable("TAMBERLO_CLI");
    CliRun run;
    if (cli.isEmpty()) {
        ADD_FAILURE() << "TAMBERLO_CLI is not set";
        return run;
    }
    QProcess process;
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(cli, args);
    if (!process.waitForFinished(30000)) {
        ADD_FAILURE() << "tamberlo-cli did not finish";
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
