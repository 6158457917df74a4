#include "batch/rename.h"

#include "cli/commands.h"
#include "store/filefacts.h"

namespace {

const char kRenameUsage[] =
    "usage: tamberlo-cli rename (--pattern 1..9 | --format PATTERN) [--source v1|v2|v2v1]\n"
    "                           [--windows-names] [--dry-run] FILE...\n"
    "  --format takes a pattern of one's own: %歌名% %艺术家% %专辑% %年份% %音轨% %作曲%\n"
    "  %专辑艺术家% %碟号% %原文件名%, \"\\\" for a sub-folder; \".mp3\" is added.\n"
    "  --source: the ID3v1 tag (default), the ID3v2 tag, or ID3v2 with ID3v1 for what\n"
    "  it lacks. --windows-names replaces what FAT and NTFS refuse by full-width forms\n"
    "  and cuts names over 255 bytes; without it such a name is blocked.\n";

// The options that take a value: "--name value" or "--name=value".
bool IsValued(const QString& arg) {
    for (const char* name : {"--pattern", "--format", "--source"}) {
        if (arg == QLatin1String(name) || arg.startsWith(QLatin1String(name) + QLatin1Char('=')))
            return true;
    }
    return false;
}

int Usage(const QString& complaint) {
    Err(QStringLiteral("tamberlo-cli rename: %1\n").arg(complaint));
    Err(QString::fromUtf8(kRenameUsage));
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
    RenameRule rule;
    bool formatGiven = false;
    bool dryRun = false;
    QStringList paths;
    bool options = true;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && arg == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (options && arg == QLatin1String("--windows-names")) {
            rule.windowsNames = true;
        } else if (options && IsValued(arg)) {
            const QString name = arg.mid(2).section(QLatin1Char('='), 0, 0);
            QString value;
            if (arg.contains(QLatin1Char('='))) {
                value = arg.section(QLatin1Char('='), 1);
            } else if (i + 1 < args.size()) {
                value = args.at(++i);
            } else {
                return Usage(QStringLiteral("--%1 needs a value").arg(name));
            }
            if (name == QLatin1String("pattern")) {
                bool ok = false;
                rule.pattern = value.toInt(&ok);
                if (!ok || rule.pattern < kFirstRenamePattern ||
                    rule.pattern > kLastRenamePattern) {
                    return Usage(QStringLiteral("--pattern takes a number from 1 to 9"));
                }
            } else if (name == QLatin1String("format")) {
                formatGiven = true;
                rule.custom = value;
            } else if (value == QLatin1String("v1")) {
                rule.source = RenameSource::V1;
            } else if (value == QLatin1String("v2")) {
                rule.source = RenameSource::V2;
            } else if (value == QLatin1String("v2v1")) {
                rule.source = RenameSource::V2ThenV1;
            } else {
                return Usage(QStringLiteral("--source takes v1, v2 or v2v1, not %1").arg(value));
            }
        } else if (options && arg.startsWith(QLatin1String("--"))) {
            return Usage(QStringLiteral("unknown option %1").arg(arg));
        } else {
            paths.append(arg);
        }
    }
    if (formatGiven && rule.pattern != 0) {
        return Usage(QStringLiteral("--pattern and --format exclude each other"));
    }
    if (formatGiven)
        rule.pattern = kCustomRenamePattern;
    if (rule.pattern == 0) {
        return Usage(QStringLiteral("--pattern or --format is required"));
    }
    if (const QString problem = RenameRuleProblem(rule); !problem.isEmpty()) {
        return Usage(problem);
    }
    if (paths.isEmpty()) {
        return Usage(QStringLiteral("no files given"));
    }

    std::vector<RenameRow> rows;
    rows.reserve(size_t(paths.size()));
    for (const QString& path : paths) {
        rows.push_back(PlanRenameRow(FolderOf(path), FileNameOf(path), rule));
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
