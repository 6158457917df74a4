// tamberlo-cli v1 / v2: the ID3v1 and ID3v2 batch edits of the editor
// windows, for scripts. Each option given is a ticked row; files are edited
// in the order given, each under its own folder. The reports print the
// windows' message texts (caption line, then the text).

#include <QRegularExpression>
#include <algorithm>

#include "batch/fixencoding.h"
#include "batch/fromname.h"
#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"
#include "batch/textsettings.h"
#include "cli/commands.h"
#include "store/filefacts.h"
#include "store/id3v1.h"
#include "store/id3v2picture.h"

namespace {

const char kV1Usage[] =
    "usage: tamberlo-cli v1 [--title TEXT | --title-from-name] [--artist TEXT] [--album TEXT]\n"
    "                       [--year TEXT] [--comment TEXT] [--genre NUMBER] [--track NUMBER]\n"
    "                       [--from-name PATTERN] [--keep-mtime] FILE...\n"
    "  --from-name fills %歌名% %艺术家% %专辑% %年份% %音轨% from each file's name.\n"
    "  --keep-mtime gives each written file back its old modification time.\n"
    "  --genre takes a number 0..79 of the genre list, --track a number 0..255.\n"
    "  --title names one file only. Texts must fit their fields in code page 936 (GBK):\n"
    "  title, artist, album 30 bytes, year 4, comment 28.\n";

// The value an option of the frame takes, as the usage names it.
QString ValueName(const FrameDescriptor& frame) {
    return frame.input == FrameInput::Genre ? QStringLiteral("GENRE") : QStringLiteral("TEXT");
}

// The IDs of the frames the copy from ID3v1 fills: "TIT2, TPE1, ... and TRCK".
QString FromV1Frames() {
    QStringList ids;
    for (const FrameDescriptor& frame : kFrameCatalogue)
        if (frame.v1 != V1Counterpart::None)
            ids << QString::fromLatin1(frame.id);
    const QString last = ids.takeLast();
    return ids.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

const QString& V2Usage() {
    static const QString usage = [] {
        const QString start = QStringLiteral("usage: tamberlo-cli v2");
        QStringList words = {QStringLiteral("[--from-v1]"), QStringLiteral("[--title-from-name]"),
                             QStringLiteral("[--encoding gbk|utf16]")};
        for (const FrameDescriptor& frame : kFrameCatalogue)
            words
                << QStringLiteral("[--%1 %2]").arg(QString::fromLatin1(frame.id), ValueName(frame));
        words << QStringLiteral("[--cover IMAGE | --remove-cover]")
              << QStringLiteral("[--from-name PATTERN]") << QStringLiteral("[--keep-mtime]")
              << QStringLiteral("FILE...");
        QString text = start;
        qsizetype lineStart = 0;
        for (const QString& word : words) {
            if (text.size() - lineStart + 1 + word.size() > 88) {
                text += QLatin1Char('\n');
                lineStart = text.size();
                text += QString(start.size(), QLatin1Char(' '));
            }
            text += QLatin1Char(' ') + word;
        }
        return text +
               QStringLiteral(
                   "\n"
                   "  --keep-mtime gives each written file back its old modification time.\n"
                   "  --TCON takes a genre name or number 0..79 of the genre list.\n"
                   "  --TIT2 names one file only. --cover gives every FILE the JPEG or PNG\n"
                   "  image IMAGE as its front cover (other pictures stay); --remove-cover\n"
                   "  removes the front cover. --from-v1 fills %1\n"
                   "  from each file's ID3v1 tag and takes none of those options, nor\n"
                   "  --title-from-name; a file without an ID3v1 tag keeps those frames and\n"
                   "  is reported (exit status 1).\n"
                   "  --from-name fills the frames its placeholders name from each file's name.\n")
                   .arg(FromV1Frames());
    }();
    return usage;
}

// The arguments split into options (name -> value, in order) and files.
struct Arguments {
    QList<std::pair<QString, QString>> options;
    QStringList files;
};

int Usage(const QString& usage, const QString& problem) {
    Err(QStringLiteral("tamberlo-cli: ") + problem + QLatin1Char('\n'));
    Err(usage);
    return 2;
}

// Splits `args` by the option names that take a value (`valued`) and those
// that do not (`flags`); "--name=value" and "--name value" both work, "--"
// ends the options. Returns an empty text or the problem found.
QString Split(const QStringList& args, const QStringList& valued, const QStringList& flags,
              Arguments& out) {
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            out.files << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        const QString name = arg.mid(2, eq < 0 ? -1 : eq - 2);
        if (flags.contains(name) && eq < 0) {
            out.options.append({name, QString()});
        } else if (valued.contains(name)) {
            if (eq >= 0) {
                out.options.append({name, arg.mid(eq + 1)});
            } else if (i + 1 < args.size()) {
                out.options.append({name, args[++i]});
            } else {
                return QStringLiteral("--%1 needs a value").arg(name);
            }
        } else {
            return QStringLiteral("unknown option %1").arg(arg);
        }
    }
    if (out.files.isEmpty())
        return QStringLiteral("no FILE given");
    return {};
}

bool Given(const Arguments& args, const QString& name) {
    for (const auto& option : args.options) {
        if (option.first == name)
            return true;
    }
    return false;
}

// A whole number in [low, high] written in decimal digits, or -1.
int Number(const QString& text, int low, int high) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
    if (!digits.match(text).hasMatch())
        return -1;
    const int value = text.toInt();
    return value >= low && value <= high ? value : -1;
}

// What is wrong with a typed title option: the window offers one typed
// title for a single ticked file only, and not beside titles from names.
QString TitleProblem(const QString& option, bool given, bool fromName, qsizetype files) {
    if (!given)
        return {};
    if (fromName)
        return option + QStringLiteral(" and --title-from-name exclude each other");
    if (files > 1)
        return option + QStringLiteral(" gives one title, for one FILE only");
    return {};
}

// Runs `edit` over the files in the order given, each under its own
// folder, as one batch (one undo takes it back); prints the report and
// returns the exit status.
int RunOverFiles(const QStringList& paths,
                 const std::function<EditReport(const TickedFiles&)>& edit) {
    TickedFiles files;
    for (const QString& path : paths) {
        files.folders << FolderOf(path);
        files.names << FileNameOf(path);
    }
    const EditReport report = edit(files);
    for (const ReportMessage& message : ReportMessages(report)) {
        Out(message.caption + QLatin1Char('\n') + message.text + QLatin1Char('\n'));
    }
    return report.allHandled() ? 0 : 1;
}

// What keeps --from-name PATTERN from filling tags of `version`; empty when
// it can (or when the option is not given).
QString FromNameProblem(const Arguments& args, TagVersion version, QString& pattern) {
    for (const auto& [name, value] : args.options)
        if (name == QLatin1String("from-name"))
            pattern = value;
    if (pattern.isNull())
        return {};
    const QString problem = FromNamePatternProblem(ParseNamePattern(pattern), version);
    return problem.isEmpty() ? QString() : QStringLiteral("--from-name: ") + problem;
}

}  // namespace

int CmdV1(const QStringList& argList) {
    static const QStringList valued = {"title",   "artist", "album", "year",
                                       "comment", "genre",  "track", "from-name"};
    Arguments args;
    if (const QString problem = Split(argList, valued, {"title-from-name", "keep-mtime"}, args);
        !problem.isEmpty()) {
        return Usage(QString::fromUtf8(kV1Usage), problem);
    }
    ID3v1Edit edit;
    edit.titleFromFileName = Given(args, QStringLiteral("title-from-name"));
    if (const QString problem =
            TitleProblem(QStringLiteral("--title"), Given(args, QStringLiteral("title")),
                         edit.titleFromFileName, args.files.size());
        !problem.isEmpty()) {
        return Usage(QString::fromUtf8(kV1Usage), problem);
    }
    // The window ticks the title row along with the file-name box.
    if (edit.titleFromFileName)
        edit.ticked[kV1Title] = true;
    for (const auto& [name, value] : args.options) {
        if (name == QLatin1String("title")) {
            edit.ticked[kV1Title] = true;
            edit.title = value;
        } else if (name == QLatin1String("artist")) {
            edit.ticked[kV1Artist] = true;
            edit.artist = value;
        } else if (name == QLatin1String("album")) {
            edit.ticked[kV1Album] = true;
            edit.album = value;
        } else if (name == QLatin1String("year")) {
            edit.ticked[kV1Year] = true;
            edit.year = value;
        } else if (name == QLatin1String("comment")) {
            edit.ticked[kV1Comment] = true;
            edit.comment = value;
        } else if (name == QLatin1String("genre")) {
            edit.ticked[kV1Genre] = true;
            edit.genre = Number(value, 0, int(GenreNames().size()) - 1);
            if (edit.genre < 0) {
                return Usage(QString::fromUtf8(kV1Usage),
                             QStringLiteral("--genre takes a number 0..79, not %1").arg(value));
            }
        } else if (name == QLatin1String("track")) {
            edit.ticked[kV1Track] = true;
            edit.track = Number(value, 0, 255);
            if (edit.track < 0) {
                return Usage(QString::fromUtf8(kV1Usage),
                             QStringLiteral("--track takes a number 0..255, not %1").arg(value));
            }
        }
    }
    if (const QString problem = FromNameProblem(args, TagVersion::V1, edit.fromNamePattern);
        !problem.isEmpty()) {
        return Usage(QString::fromUtf8(kV1Usage), problem);
    }
    // The window refuses such texts before its run; so does the command
    // line, before any file is touched.
    if (const QStringList problems = ID3v1EditProblems(edit); !problems.isEmpty()) {
        const ReportMessage refused = RefusedID3v1EditMessage(problems);
        Err(refused.caption + QLatin1Char('\n') + refused.text + QLatin1Char('\n'));
        return 2;
    }
    BatchOptions options;
    options.apply.keepMtime = Given(args, QStringLiteral("keep-mtime"));
    return RunOverFiles(
        args.files, [&](const TickedFiles& files) { return RunID3v1Edit(files, edit, options); });
}

namespace {

// The genre name for --TCON: a name of the list (any letter case) or its
// number; empty when neither.
QString GenreOption(const QString& value) {
    const QStringList& names = GenreNames();
    const int number = Number(value, 0, int(names.size()) - 1);
    if (number >= 0)
        return names[number];
    for (const QString& name : names) {
        if (name.compare(value, Qt::CaseInsensitive) == 0)
            return name;
    }
    return {};
}

}  // namespace

QString V2FrameOptionsHelp() {
    QString lines;
    for (const FrameDescriptor& frame : kFrameCatalogue) {
        const QString option =
            QStringLiteral("  --%1 %2").arg(QString::fromLatin1(frame.id), ValueName(frame));
        QString what = QStringLiteral("the ") + QString::fromLatin1(frame.english);
        if (frame.editorRow == kV2TitleRow)
            what += QStringLiteral(", for one FILE only");
        if (frame.input == FrameInput::Genre)
            what = QStringLiteral("a genre name or number 0..79 of the genre list");
        lines += option.leftJustified(22) + what + QLatin1Char('\n');
    }
    return lines;
}

int CmdV2(const QStringList& argList) {
    QStringList valued = {QStringLiteral("from-name")};
    for (const QString& id : ID3v2RowFrameIds()) valued << id;
    valued << QStringLiteral("encoding");
    Arguments args;
    valued << QStringLiteral("cover");
    if (const QString problem = Split(
            argList, valued, {"from-v1", "title-from-name", "keep-mtime", "remove-cover"}, args);
        !problem.isEmpty()) {
        return Usage(V2Usage(), problem);
    }
    ID3v2Edit edit;
    edit.fromV1 = Given(args, QStringLiteral("from-v1"));
    edit.titleFromFileName = Given(args, QStringLiteral("title-from-name"));
    for (const auto& [name, value] : args.options) {
        if (name == QLatin1String("encoding")) {
            const auto mode = WriteModeFromName(value);
            if (!mode)
                return Usage(V2Usage(),
                             QStringLiteral("--encoding takes gbk or utf16, not %1").arg(value));
            id3v2text::SetWriteMode(*mode);
            continue;
        }
        const auto row = int(std::find(ID3v2RowFrameIds().begin(), ID3v2RowFrameIds().end(), name) -
                             ID3v2RowFrameIds().begin());
        if (name == QLatin1String("cover")) {
            if (Given(args, QStringLiteral("remove-cover")))
                return Usage(V2Usage(),
                             QStringLiteral("--cover and --remove-cover exclude each other"));
            try {
                const CoverImage image = ReadCoverImage(value);
                edit.cover = {CoverEdit::Action::Set, image.bytes, image.mime};
            } catch (const StoreError& e) {
                Err(QStringLiteral("tamberlo-cli: ") + e.message() + QLatin1Char('\n'));
                return 2;
            }
            continue;
        }
        if (name == QLatin1String("remove-cover")) {
            edit.cover.action = CoverEdit::Action::Remove;
            continue;
        }
        if (row >= kID3v2RowCount)
            continue;  // --from-v1, --title-from-name
        if (edit.fromV1 && row < kID3v2FromV1Rows) {
            return Usage(V2Usage(), QStringLiteral("--from-v1 fills %1 itself").arg(name));
        }
        edit.ticked[size_t(row)] = true;
        edit.texts[size_t(row)] = value;
        if (row == kV2GenreRow) {
            edit.texts[size_t(row)] = GenreOption(value);
            if (edit.texts[size_t(row)].isEmpty()) {
                return Usage(V2Usage(),
                             QStringLiteral("--TCON: no genre %1 in the list").arg(value));
            }
        }
    }
    if (const QString problem = FromNameProblem(args, TagVersion::V2, edit.fromNamePattern);
        !problem.isEmpty()) {
        return Usage(V2Usage(), problem);
    }
    if (edit.fromV1 && !edit.fromNamePattern.isEmpty()) {
        return Usage(V2Usage(), QStringLiteral("--from-v1 and --from-name exclude each other"));
    }
    if (edit.fromV1 && edit.titleFromFileName) {
        return Usage(V2Usage(),
                     QStringLiteral("--from-v1 and --title-from-name exclude each other"));
    }
    if (const QString problem =
            TitleProblem(QStringLiteral("--") + ID3v2RowFrameIds()[kV2TitleRow],
                         edit.ticked[kV2TitleRow], edit.titleFromFileName, args.files.size());
        !problem.isEmpty()) {
        return Usage(V2Usage(), problem);
    }
    if (edit.titleFromFileName)
        edit.ticked[kV2TitleRow] = true;
    if (edit.fromV1) {
        for (int row = 0; row < kID3v2FromV1Rows; ++row) edit.ticked[size_t(row)] = true;
    }
    BatchOptions options;
    options.apply.keepMtime = Given(args, QStringLiteral("keep-mtime"));
    return RunOverFiles(
        args.files, [&](const TickedFiles& files) { return RunID3v2Edit(files, edit, options); });
}

int CmdFixEncoding(const QStringList& argList) {
    static const QString usage = QStringLiteral(
        "usage: tamberlo-cli fix-encoding [--dry-run] [--to utf16|gbk] [--keep-mtime] FILE...\n");
    Arguments args;
    if (const QString problem = Split(argList, {"to"}, {"dry-run", "keep-mtime"}, args);
        !problem.isEmpty()) {
        return Usage(usage, problem);
    }
    for (const auto& [name, value] : args.options) {
        if (name != QLatin1String("to"))
            continue;
        const auto mode = WriteModeFromName(value);
        if (!mode)
            return Usage(usage, QStringLiteral("--to takes utf16 or gbk, not %1").arg(value));
        id3v2text::SetWriteMode(*mode);
    }
    TickedFiles files;
    for (const QString& path : args.files) {
        files.folders << FolderOf(path);
        files.names << FileNameOf(path);
    }
    const QList<FileEncodingFixes> plans = PlanEncodingFixes(files);
    int status = 0;
    for (qsizetype i = 0; i < plans.size(); ++i) {
        const FileEncodingFixes& plan = plans[i];
        const QString shown = DisplayFileName(args.files[i]);
        if (!plan.error.isEmpty()) {
            Out(shown + QStringLiteral(": ") + plan.error + QLatin1Char('\n'));
            status = 1;
        } else if (plan.fixes.isEmpty()) {
            Out(shown + QStringLiteral(": ") + NothingToFixText() + QLatin1Char('\n'));
        } else {
            Out(shown + QLatin1Char('\n'));
            for (const EncodingFix& fix : plan.fixes) {
                Out(QStringLiteral("  ") + fix.caption + QStringLiteral("：") + FixText(fix) +
                    QLatin1Char('\n'));
                if (!fix.leftBecause.isEmpty())
                    status = 1;
            }
        }
    }
    if (Given(args, QStringLiteral("dry-run")))
        return status;
    BatchOptions options;
    options.apply.keepMtime = Given(args, QStringLiteral("keep-mtime"));
    const EditReport report = RunEncodingFixes(files, plans, options);
    for (const ReportMessage& message : ReportMessages(report))
        Out(message.caption + QLatin1Char('\n') + message.text + QLatin1Char('\n'));
    return report.allHandled() ? status : 1;
}
