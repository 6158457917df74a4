#include "cli/commands.h"

int CmdRename(const QStringList& args) {
    Q_UNUSED(args);
    Err(QStringLiteral("tamberlo-cli: this command is not available yet\n"));
    return 2;
}
