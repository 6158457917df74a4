#include "cli/commands.h"

int CmdV1(const QStringList& args) {
    Q_UNUSED(args);
    Err(QStringLiteral("tamberlo-cli: this command is not available yet\n"));
    return 2;
}

int CmdV2(const QStringList& args) {
    Q_UNUSED(args);
    Err(QStringLiteral("tamberlo-cli: this command is not available yet\n"));
    return 2;
}
