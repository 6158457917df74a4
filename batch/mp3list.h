#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "batch/tickedfiles.h"
#include "store/filerecords.h"

// The rows of the main list, without widgets: which files a folder lists,
// and the text of each cell.

// The MP3 files of `folder`: regular files (or links to them) whose names
// end in ".mp3" in any letter case; names starting with "." are hidden and
// left out; subfolders are not entered. Sorted by name with letter case
// ignored (names equal but for case in code-unit order). Names are exact
// (fileio::NameFromNative): a name that is not UTF-8 is listed as itself.
// Throws StoreError when the folder cannot be opened or read.
QStringList ListMp3Files(const QString& folder);

// The exact folder that a path shown by Qt's own file classes (the folder
// tree) stands for. Qt shows bytes that are not UTF-8 as U+FFFD, so a part
// holding U+FFFD is looked up among its parent's entries and the one entry
// Qt shows under that name is taken; a part no entry matches stays as shown
// (loading it then reports that it does not exist). Nothing when several
// entries share the shown name: which one was meant cannot be told.
std::optional<QString> FolderFromShownPath(const QString& shown);

// Length in bytes as kilobytes with thousands separators and exactly two
// decimals, rounded half away from zero, the same in every locale:
// 3417089 -> "3,337.00", 0 -> "0.00", 1536 -> "1.50".
QString SizeText(qint64 length);

// The column that tells a file whose content is not MP3 ("文件内容"); the
// only one that needs the content judged.
inline constexpr int kContentColumn = 307;

// The text of a cell of column `code` for a file named `name` with the
// records `records`; empty for a code outside the catalogue. The file-name
// column shows DisplayFileName(name). The content
// cell is empty for MP3 content (and content not judged), else
// "不是 MP3（PNG 图片）", "不是 MP3（找不到音频帧）".
QString CellText(int code, const FileRecords& records, const QString& name);

// One row of the list as loaded.
struct Mp3Row {
    QString name;       // the exact file name without folder
    QStringList cells;  // one text per column code, in column order
    QString error;      // why the file could not be read; empty when it was
    // How its legacy texts were decided, for the folder's vote.
    legacytext::FileReading legacy;
};

// The row of `name` in `folder`; the content is judged only when `codes`
// hold the content column. A file that cannot be read (vanished, no
// permission) still gives a row: its name in the file-name columns, every
// other cell empty, and the store's reason in `error`.
// `folderCodePage` settles the legacy code page of a file whose texts
// are a close call.
Mp3Row LoadMp3Row(const QString& folder, const QString& name, const QList<int>& codes,
                  std::optional<legacytext::CodePage> folderCodePage = std::nullopt);

// The rows of `names`, in that order; `progress` (when set) is called after
// each file with the number done and the total.
std::vector<Mp3Row> LoadMp3Rows(const QString& folder, const QStringList& names,
                                const QList<int>& codes, const ProgressFn& progress = {});
