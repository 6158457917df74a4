#include "batch/rename.h"

#include "cli/commands.h"
#include "store/filefacts.h"

namespace {

const char kRenameUsage[] = "usage: tamberlo-cli rename --pattern 1..9 [--dry-run] FILE...\n";

int Usage(const QString& complaint) {
    Err(QStringLiteral("tamberlo-cli rename: %1\n").arg(complaint));
    Err(QString::fromLatin1(kRenameUsage));
    return 2;
}

}  // namespace

// Prints the plan, one line per file in the order given: the path, the new
// name, "ready" or "blocked", and for a blocked file the reason the window
// shows; tab-separated, each field escaped (EscapedField), names that are not
// UTF-8 in their display form. Then, unless --dry-run, runs it in that order
// and prints the window's report; every file not renamed is named on stderr
// with its reason.
int CmdRename(const QStringList& args) {
    int pattern = 0;
    bool dryRun = false;
    QStringList paths;
    bool options = true;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && arg == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (options && (arg == QLatin1String("--pattern") ||
                               arg.startsWith(QLatin1String("--pattern=")))) {
            QString value;
            if (arg.contains(QLatin1Char('='))) {
                value = arg.section(QLatin1Char('='), 1);
            } else if (i + 1 < args.size()) {
                value = args.at(++i);
            }
            bool ok = false;
            pattern = value.toInt(&ok);
            if (!ok || pattern < kFirstRenamePattern || pattern > kLastRenamePattern) {
                return Usage(QStringLiteral("--pattern takes a number from 1 to 9"));
            }
        } else if (options && arg.startsWith(QLatin1String("--"))) {
            return Usage(QStringLiteral("unknown option %1").arg(arg));
        } else {
            paths.append(arg);
        }
    }
    if (pattern == 0) {
        return Usage(QStringLiteral("--pattern is required"));
    }
    if (paths.isEmpty()) {
        return Usage(QStringLiteral("no files given"));
    }

    std::vector<RenameRow> rows;
    rows.reserve(size_t(paths.size()));
    for (const QString& path : paths) {
        rows.push_back(PlanRenameRow(FolderOf(path), FileNameOf(path), pattern));
    }
    MarkSameTargets(rows);
    bool allReady = true;
    for (size_t i = 0; i < rows.size(); ++i) {
        const RenameRow& row = rows[i];
        QStringList fields = {DisplayFileName(paths.at(qsizetype(i))), PreviewNewNameText(row),
                              row.ready ? QStringLiteral("ready") : QStringLiteral("blocked")};
        if (!row.ready) {
            fields << RenameRowReason(row);
        }
        for (QString& field : fields) {
            field = EscapedField(field);
        }
        Out(fields.join(QLatin1Char('\t')) + QLatin1Char('\n'));
        allReady = allReady && row.ready;
    }
    if (dryRun) {
        return allReady ? 0 : 1;
    }

    const RenameReport report = RunRename(rows);
    const QString details = RenameDetailsText(paths, report);
    if (!details.isEmpty()) {
        for (const QString& line : details.split(QLatin1Char('\n'))) {
            Err(QStringLiteral("tamberlo-cli rename: ") + EscapedField(line) + QLatin1Char('\n'));
        }
    }
    Out(RenameReportText(report));
    return report.renamed == int(rows.size()) ? 0 : 1;
}
