// tamberlo-cli help [COMMAND], --help and --version. The texts name every
// option of each command; a test holds them against the commands' own usage
// lines and against the manual page.

#include <QCoreApplication>

#include "cli/commands.h"

namespace {

struct CommandHelp {
    const char* name;
    const char* text;
    // Lines made from a catalogue, and the text after them.
    QString (*generated)() = nullptr;
    const char* tail = "";
};

const CommandHelp kCommands[] = {
    {"show",
     "usage: tamberlo-cli show [--] FILE...\n"
     "Prints one JSON array with an object per readable FILE, in the order given:\n"
     "its path and its three records ID3v1Tag, ID3v2Tag and FileFacts, texts exactly\n"
     "as held (padding kept), Content, what the file holds as the details dialog\n"
     "says it, and Audio, the MPEG audio's properties read from its first frame\n"
     "(null when none is found). A FILE that cannot be read is left out of the\n"
     "array and named on stderr.\n"},
    {"list",
     "usage: tamberlo-cli list [--recursive] [--columns CODES] FOLDER\n"
     "Prints the rows of the main list for FOLDER in name order: a line of column\n"
     "names, then one line per MP3 file, cells separated by tabs (a tab, line break\n"
     "or backslash inside a cell is written \\t, \\n, \\r or \\\\). The columns are\n"
     "the window's, from clmnhdr.dll.\n"
     "  -r, --recursive   the files of every sub-folder too, named by their path\n"
     "                    relative to FOLDER; hidden folders and links to folders\n"
     "                    are not entered, unreadable ones are named on stderr\n"
     "  --columns CODES   comma-separated catalogue codes, e.g. 306,101,305:\n"
     "                    101-107 ID3v1 fields, 201-217 ID3v2 frames and cover,\n"
     "                    301-308 file properties (307: content that is not MP3,\n"
     "                    308: how the texts are stored),\n"
     "                    401-405 the audio: length, bitrate, sample rate,\n"
     "                    channels, MPEG version and layer\n"},
    {"v1",
     "usage: tamberlo-cli v1 [OPTION...] FILE...\n"
     "The ID3v1 batch edit: each option given is a ticked field, written to every\n"
     "FILE; fields not given keep their bytes. Read-only files are skipped; files\n"
     "that are not MP3 or shorter than 128 bytes, and links out of their folder,\n"
     "are reported and left alone.\n"
     "  --title TEXT        the title, for one FILE only\n"
     "  --title-from-name   the title from each file's name (not with --title)\n"
     "  --artist TEXT, --album TEXT, --year TEXT, --comment TEXT\n"
     "                      the other fields\n"
     "  --genre NUMBER      a genre number 0..79 of the genre list\n"
     "  --track NUMBER      a track number 0..255\n"
     "  --from-name PATTERN fields from each file's name, e.g. \"%音轨% %艺术家% - %歌名%\"\n"
     "                      (%歌名% %艺术家% %专辑% %年份% %音轨%); a name that does not\n"
     "                      fit is named in the report and its file left alone\n"
     "  --keep-mtime        each written file keeps its modification time\n"
     "Texts must fit their fields in code page 936 (GBK): title, artist, album\n"
     "30 bytes, year 4, comment 28; else nothing is written (status 2). A title\n"
     "from a name is cut to what fits, and the file named in the report.\n"},
    {"v2",
     "usage: tamberlo-cli v2 [OPTION...] FILE...\n"
     "The ID3v2 batch edit: one option per frame; each FILE gets an ID3v2.3 tag\n"
     "that keeps every frame not named. Read-only files are skipped; files that are\n"
     "not MP3, and links out of their folder, are reported and left alone.\n",
     V2FrameOptionsHelp,
     "  --title-from-name   the title from each file's name\n"
     "  --from-v1           the frames of the ID3v1 fields from each file's ID3v1 tag\n"
     "                      (none of those options given, nor --title-from-name); a\n"
     "                      file without an ID3v1 tag keeps them and is named in the\n"
     "                      report (status 1)\n"
     "  --from-name PATTERN frames from each file's name, e.g. \"%音轨% %艺术家% - %歌名%\"\n"
     "                      (%歌名% %艺术家% %专辑% %年份% %音轨% %作曲% %专辑艺术家%\n"
     "                      %碟号%); a name that does not fit is named in the report\n"
     "                      and its file left alone (not with --from-v1)\n"
     "  --cover IMAGE       a JPEG or PNG image (judged by its content) as every\n"
     "                      FILE's front cover; other pictures stay\n"
     "  --remove-cover      removes every FILE's front cover\n"
     "  --encoding gbk|utf16\n"
     "                      how new text is written: gbk (the default) writes text\n"
     "                      with Chinese characters in code page 936 and accented\n"
     "                      Latin text in UTF-16; utf16 writes all non-ASCII text\n"
     "                      in UTF-16\n"
     "  --keep-mtime        each written file keeps its modification time\n"
     "A tag that fits the old one's space is written in place; any other is\n"
     "rewritten beside the file with padding for later edits.\n"},
    {"rename",
     "usage: tamberlo-cli rename (--pattern N | --format PATTERN) [--source SOURCE]\n"
     "                           [--windows-names] [--dry-run] FILE...\n"
     "Renames each FILE after its tags. Prints the plan first, one line per\n"
     "file: the path given, the new name, ready or blocked with the reason (tab-\n"
     "separated; \\\\, \\t, \\n, \\r escaped); then renames the ready files and prints\n"
     "the window's report. An existing name is never replaced; every file not\n"
     "renamed is named on stderr with its reason.\n"
     "  --pattern N   1 artist-title          2 artist-album-title   3 album-title\n"
     "                4 title                 5 track-title          6 artist/title\n"
     "                7 album/title           8 album/track-title\n"
     "                9 artist/album-title    (each with .mp3; 6..9 make the folder)\n"
     "  --format PATTERN  a pattern of one's own: %歌名% %艺术家% %专辑% %年份%\n"
     "                %音轨% (two digits) %作曲% %专辑艺术家% %碟号% %原文件名%,\n"
     "                \"\\\" for a sub-folder, \"%%\" for %; .mp3 is added\n"
     "  --source SOURCE  v1 the ID3v1 tag (default), v2 the ID3v2 tag, v2v1 the\n"
     "                ID3v2 tag with the ID3v1 tag for what it lacks\n"
     "  --windows-names  names every disk takes: \\ : * ? \" < > | and control\n"
     "                characters, trailing dots and blanks become full-width forms,\n"
     "                a name over 255 bytes is cut; without it such a name is blocked\n"
     "  --dry-run     print the plan only; the status is 0 when every file is ready\n"},
    {"undo",
     "usage: tamberlo-cli undo [--list] [--dry-run]\n"
     "Takes the last batch (v1, v2, rename, of this command or of the window) back,\n"
     "file by file in reverse order. A file changed since the batch, or a renamed\n"
     "file that is gone, is not touched and is named in the report (status 1).\n"
     "  --list        the batches that can be undone, newest first; changes nothing\n"
     "  --dry-run     what undo would do, file by file; changes nothing\n"},
    {"fix-encoding",
     "usage: tamberlo-cli fix-encoding [--dry-run] [--to utf16|gbk] [--keep-mtime] FILE...\n"
     "Repairs text other programs garbled (Chinese bytes read as Latin-1 and saved\n"
     "as Unicode) and writes legacy text (Big5, UTF-8 or Latin-1 bytes with encoding\n"
     "0, ...) the way new text is written. Prints every field that changes, old ->\n"
     "new, per file, then changes them all as one batch (undo takes it back).\n"
     "ID3v1 fields in another code page than 936 are written in 936 where it holds\n"
     "them; a field it cannot hold is left as it is and named (status 1).\n"
     "  --dry-run     print the changes only; write nothing\n"
     "  --to utf16|gbk\n"
     "                how ID3v2 text is written: utf16 all non-ASCII text in UTF-16;\n"
     "                gbk Chinese text that code page 936 holds in 936, other\n"
     "                non-ASCII text in UTF-16 (default: the setup's choice)\n"
     "  --keep-mtime  each written file keeps its modification time\n"},
    {"help",
     "usage: tamberlo-cli help [COMMAND]\n"
     "Prints the commands, or what COMMAND does and takes.\n"},
};

const char kStatusNote[] =
    "Exit status: 0 every file handled, 1 some skipped or failed (the report says\n"
    "which), 2 a usage error. See man tamberlo-cli.\n";

}  // namespace

int CmdHelp(const QStringList& args, const QString& overview) {
    if (args.isEmpty()) {
        Out(overview + QLatin1String(kStatusNote));
        return 0;
    }
    if (args.size() == 1) {
        for (const CommandHelp& command : kCommands) {
            if (args.first() == QLatin1String(command.name)) {
                const QString generated = command.generated ? command.generated() : QString();
                Out(QString::fromLatin1(command.text) + generated +
                    QString::fromLatin1(command.tail) + QLatin1String(kStatusNote));
                return 0;
            }
        }
    }
    Err(QStringLiteral("tamberlo-cli help: no command %1\n").arg(args.join(QLatin1Char(' '))));
    Err(overview);
    return 2;
}

int CmdVersion() {
    Out(QStringLiteral("tamberlo-cli " TAMBERLO_VERSION "\n"));
    return 0;
}
