#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <cstring>

#include "batch/storewords.h"
#include "batch/undo.h"
#include "batch/writesettings.h"
#include "cli/commands.h"
#include "store/error.h"
#include "store/fileio.h"
#include "store/journal.h"
#include "store/programfolder.h"

namespace {

const char kUsage[] =
    "usage: tamberlo-cli COMMAND ...\n"
    "  show FILE...                       the three records of each file as a JSON array\n"
    "  list [-r] [--columns CODES] FOLDER the rows as the main list shows them\n"
    "  v1 [options] FILE...               the ID3v1 batch edit\n"
    "  v2 [options] FILE...               the ID3v2 batch edit\n"
    "  rename --pattern N [--dry-run] FILE...\n"
    "                                     the rename plan and run\n"
    "  undo [--list] [--dry-run]          takes the last batch back\n"
    "  fix-encoding [--dry-run] [--to utf16|gbk] FILE...\n"
    "                                     repairs garbled text, converts legacy text\n"
    "  help [COMMAND]                     what a command does and takes\n"
    "  --legacy-codepage auto|936|950|932|949|1252\n"
    "                                     before COMMAND: how text in a legacy code page\n"
    "                                     is read (default: the setup's choice, else auto)\n"
    "  --version                          the version\n";

// Finishes batches an earlier run left half done (killed, power lost)
// before anything reads or writes a file, and says so on stderr.
void RecoverInterruptedBatches() {
    // No journal yet, nothing to finish: a command that only reads leaves
    // no folder behind.
    if (!QFileInfo::exists(JournalFolder()))
        return;
    try {
        Journal journal(JournalFolder());
        const RecoveryReport report = journal.recover();
        if (report.anythingToSay()) {
            const ReportMessage message = RecoveryMessage(report);
            Err(message.caption + QLatin1Char('\n') + message.text + QLatin1Char('\n'));
        }
    } catch (const StoreError& error) {
        Err(QStringLiteral("tamberlo-cli: ") + error.message() + QLatin1Char('\n'));
    }
}

}  // namespace

void Out(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void Err(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InstallStoreWords();
    SetProgramName();
    // Names come as bytes: arguments() would decode them lossily, and a name
    // that is not UTF-8 would then name some other file, or none.
    QStringList args;
    for (int i = 1; i < argc; ++i) args.append(fileio::NameFromNative(argv[i]));
    TextSettings settings = LoadTextSettings();
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--legacy-codepage"))) {
        QString value = args.takeFirst().mid(int(std::strlen("--legacy-codepage")));
        if (value.startsWith(QLatin1Char('=')))
            value = value.mid(1);
        else if (value.isEmpty() && !args.isEmpty())
            value = args.takeFirst();
        if (!LegacyCodePageFromName(value, &settings.legacy)) {
            Err(QStringLiteral("--legacy-codepage takes auto, 936, 950, 932, 949 or 1252, not %1\n")
                    .arg(value));
            return 2;
        }
    }
    ApplyTextSettings(settings);
    if (args.isEmpty()) {
        Err(QString::fromLatin1(kUsage));
        return 2;
    }
    const QString command = args.takeFirst();
    if (command != QLatin1String("help") && command != QLatin1String("--help") &&
        command != QLatin1String("-h") && command != QLatin1String("--version"))
        RecoverInterruptedBatches();
    int status = 2;
    if (command == QLatin1String("show")) {
        status = CmdShow(args);
    } else if (command == QLatin1String("list")) {
        status = CmdList(args);
    } else if (command == QLatin1String("v1")) {
        status = CmdV1(args);
    } else if (command == QLatin1String("v2")) {
        status = CmdV2(args);
    } else if (command == QLatin1String("rename")) {
        status = CmdRename(args);
    } else if (command == QLatin1String("fix-encoding")) {
        status = CmdFixEncoding(args);
    } else if (command == QLatin1String("undo")) {
        status = CmdUndo(args);
    } else if (command == QLatin1String("help") || command == QLatin1String("--help") ||
               command == QLatin1String("-h")) {
        status = CmdHelp(args, QString::fromLatin1(kUsage));
    } else if (command == QLatin1String("--version") && args.isEmpty()) {
        status = CmdVersion();
    } else {
        Err(QString::fromLatin1(kUsage));
    }
    std::fflush(stdout);
    return status;
}
