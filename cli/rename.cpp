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

// Prints the plan (path as given, new name, ready/blocked), then, unless
// --dry-run, runs it in the order the files were given and prints the same
// report the window shows; a refused or clashing file is named on stderr.
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
    bool allReady = true;
    for (const QString& path : paths) {
        RenameRow row = PlanRenameRow(FolderOf(path), FileNameOf(path), pattern);
        Out(QStringLiteral("%1\t%2\t%3\n")
                .arg(DisplayFileName(path), PreviewNewNameText(row),
                     row.ready ? QStringLiteral("ready") : QStringLiteral("blocked")));
        allReady = allReady && row.ready;
        rows.push_back(std::move(row));
    }
    if (dryRun) {
        return allReady ? 0 : 1;
    }

    const RenameReport report = RunRename(rows);
    for (size_t i = 0; i < rows.size(); ++i) {
        const RenameRowResult& result = report.rows[i];
        if (result.outcome == RenameOutcome::Clash) {
            Err(QStringLiteral("tamberlo-cli rename: %1: %2 already exists\n")
                    .arg(DisplayFileName(paths.at(qsizetype(i))), rows[i].newName));
        } else if (result.outcome == RenameOutcome::Refused) {
            Err(QStringLiteral("tamberlo-cli rename: %1: %2\n")
                    .arg(DisplayFileName(paths.at(qsizetype(i))), result.reason));
        }
    }
    Out(RenameReportText(report));
    return report.renamed == int(rows.size()) ? 0 : 1;
}
