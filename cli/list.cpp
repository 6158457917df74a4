// tamberlo-cli list [--recursive] [--columns CODES] FOLDER
//
// The rows of the main list for FOLDER, in the list's name order: a header
// line of column names, then one line per file, cells separated by tabs.
// With --recursive the files of the sub-folders too, named by their path
// relative to FOLDER, as the window lists them with "包含子文件夹".
// A tab, line break or backslash inside a cell is written as \t, \n, \r or
// \\ so that every line stays one row.
#include <QFileInfo>

#include "batch/columns.h"
#include "batch/mp3list.h"
#include "cli/commands.h"
#include "store/error.h"
#include "store/filefacts.h"

namespace {

const char kListUsage[] = "usage: tamberlo-cli list [--recursive] [--columns CODES] FOLDER\n";

QString Line(const QStringList& cells) {
    QStringList escaped;
    escaped.reserve(cells.size());
    for (const QString& cell : cells) escaped.append(EscapedField(cell));
    return escaped.join(QLatin1Char('\t')) + QLatin1Char('\n');
}

// "306,101,305" -> codes; false when any item is not a catalogue code.
bool ParseCodes(const QString& text, QList<int>* codes) {
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int code = item.trimmed().toInt(&ok);
        if (!ok || !IsCatalogueCode(code))
            return false;
        codes->append(code);
    }
    return true;
}

}  // namespace

QString EscapedField(const QString& field) {
    QString text;
    text.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
            case '\\':
                text += QLatin1String("\\\\");
                break;
            case '\t':
                text += QLatin1String("\\t");
                break;
            case '\n':
                text += QLatin1String("\\n");
                break;
            case '\r':
                text += QLatin1String("\\r");
                break;
            default:
                text += c;
        }
    }
    return text;
}

int CmdList(const QStringList& args) {
    QList<int> codes;
    bool codesGiven = false;
    ListOptions options;
    QStringList folders;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--columns") && i + 1 < args.size()) {
            codesGiven = true;
            if (!ParseCodes(args.at(++i), &codes)) {
                Err(QStringLiteral("tamberlo-cli list: unknown column code in \"%1\"\n")
                        .arg(args.at(i)));
                return 2;
            }
        } else if (arg == QLatin1String("--recursive") || arg == QLatin1String("-r")) {
            options.recursive = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            Err(QString::fromLatin1(kListUsage));
            return 2;
        } else {
            folders.append(arg);
        }
    }
    if (folders.size() != 1) {
        Err(QString::fromLatin1(kListUsage));
        return 2;
    }
    // The window's columns; without the file the window would write its
    // default, which the listing uses without writing anything.
    if (!codesGiven) {
        codes = QFileInfo::exists(ColumnConfigPath()) ? ReadColumnCodes()
                                                      : ParseColumnConfig(DefaultColumnConfig());
    }

    const QString folder = folders.first();
    Mp3Listing listing;
    try {
        listing = ListMp3Files(folder, options);
    } catch (const StoreError& error) {
        Err(QStringLiteral("tamberlo-cli list: %1\n").arg(error.message()));
        return 1;
    }
    int status = 0;
    for (const QString& skipped : listing.unreadable) {
        Err(QStringLiteral("%1: 无法读取此子文件夹\n").arg(DisplayFileName(skipped)));
        status = 1;
    }

    QStringList headers;
    for (const int code : codes) headers.append(ColumnHeaderText(code));
    Out(Line(headers));
    // All rows first: a file whose legacy text is a close call is read in
    // the code page of its folder's other files, as the window reads it.
    for (const Mp3Row& row : LoadMp3Rows(folder, listing.names, codes)) {
        Out(Line(row.cells));
        if (!row.error.isEmpty()) {
            Err(QStringLiteral("%1: %2\n").arg(DisplayFileName(row.name), row.error));
            status = 1;
        }
    }
    return status;
}
