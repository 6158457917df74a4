#include "app/startplace.h"

#include <sys/stat.h>

#include <QDir>

#include "store/filefacts.h"
#include "store/fileio.h"

namespace {

// argv bytes as a name, exact: the one place the command line's paths are
// decoded.
QString NameFromArgument(const QByteArray& argument) {
    return fileio::NameFromNative(argument);
}

bool IsOption(const QByteArray& argument, const char* longName, const char* shortName) {
    return argument == longName || argument == shortName;
}

}  // namespace

WindowCommandLine ParseWindowCommandLine(const QList<QByteArray>& arguments) {
    WindowCommandLine line;
    QList<QByteArray> paths;
    bool optionsEnded = false;
    for (const QByteArray& argument : arguments) {
        if (optionsEnded || !argument.startsWith('-')) {
            paths.append(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (IsOption(argument, "--help", "-h")) {
            return WindowCommandLine{WindowCommandLine::Action::Help, {}, {}};
        } else if (IsOption(argument, "--version", "-v")) {
            return WindowCommandLine{WindowCommandLine::Action::Version, {}, {}};
        } else if (line.problem.isEmpty()) {
            // Keeps looking: a later --help still wins.
            line.action = WindowCommandLine::Action::UsageError;
            line.problem = QStringLiteral("unknown option %1").arg(NameFromArgument(argument));
        }
    }
    if (line.action == WindowCommandLine::Action::UsageError)
        return line;
    if (paths.size() > 1) {
        line.action = WindowCommandLine::Action::UsageError;
        line.problem = QStringLiteral("one FOLDER or FILE at most, not %1").arg(paths.size());
        return line;
    }
    if (!paths.isEmpty())
        line.path = NameFromArgument(paths.first());
    return line;
}

QString WindowUsage() {
    return QStringLiteral(
        "usage: tamberlo [FOLDER | FILE]\n"
        "       tamberlo --help | --version\n"
        "Opens the window that edits the tags and the names of MP3 files in batches.\n"
        "  FOLDER         list this folder at start\n"
        "  FILE           list the file's folder with the file selected\n"
        "                 (without either: the folder listed last, else the\n"
        "                 current folder)\n"
        "  -h, --help     print this text and exit\n"
        "  -v, --version  print the version and exit\n"
        "  --             the next argument is a FOLDER or FILE, even with a leading dash\n"
        "Qt's own options (-platform NAME, -style NAME, ...) are understood too.\n"
        "The command-line companion is tamberlo-cli; see also man tamberlo.\n");
}

QString WindowVersion() {
    return QStringLiteral("tamberlo " TAMBERLO_VERSION "\n");
}

StartPlace ChooseStartPlace(const StartSources& sources) {
    if (sources.argument.isEmpty()) {
        // A last folder that has gone (an unplugged drive) is passed over
        // without a word: nobody asked for it this time.
        if (sources.lastFolder.startsWith(QLatin1Char('/')) && IsFolder(sources.lastFolder))
            return StartPlace{QDir::cleanPath(sources.lastFolder), {}, {}};
        return StartPlace{QDir::cleanPath(sources.currentFolder), {}, {}};
    }
    // Clean and absolute, so the folder is everything before the last "/".
    // String work only: cleanPath keeps every character of an exact name.
    const QString path = QDir::cleanPath(sources.argument.startsWith(QLatin1Char('/'))
                                             ? sources.argument
                                             : JoinPath(sources.currentFolder, sources.argument));
    struct stat status;
    if (::stat(fileio::NativePath(path).constData(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return StartPlace{path, {}, {}};
        return StartPlace{FolderOf(path), FileNameOf(path), {}};
    }
    // A broken link or a typo: the nearest folder that is there. The root
    // always is, so the walk ends.
    QString existing = FolderOf(path);
    while (existing != QLatin1String("/") && !IsFolder(existing)) existing = FolderOf(existing);
    return StartPlace{existing,
                      {},
                      QStringLiteral("“%1”不存在，现在列出的是“%2”。")
                          .arg(DisplayFileName(sources.argument), DisplayFileName(existing))};
}
