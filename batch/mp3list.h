#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
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

// How a folder is listed.
struct ListOptions {
    // Also the MP3 files of every sub-folder, named by their path relative
    // to the folder ("周杰伦/叶惠美/01 晴天.mp3").
    bool recursive = false;
};

struct Mp3Listing {
    QStringList names;       // exact names, relative to the folder listed
    QStringList folders;     // sub-folders entered, relative (recursive only)
    QStringList unreadable;  // sub-folders skipped as unreadable, relative
};

// The MP3 files of `folder` as ListMp3Files finds them; with
// `options.recursive` those of its sub-folders too: each folder's files
// first, then its sub-folders, each level in ListMp3Files's name order.
// Hidden sub-folders (".name") and links to folders are not entered, and no
// folder is entered twice (a bind mount of a parent), so the walk always
// ends. A sub-folder that cannot be read is skipped and named in
// `unreadable`; only `folder` itself failing throws StoreError.
Mp3Listing ListMp3Files(const QString& folder, const ListOptions& options);

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

// The cover column's text: "有 (600×600)", "有" for an image whose size
// cannot be told, "无" without a picture.
QString CoverCellText(const CoverPicture& cover);

// Whether column `code` sorts by a number rather than by its text: the
// size, the ID3v1 year and track, and the audio columns.
bool SortsByValue(int code);
// The number a value column sorts by: bytes, the year's leading digits, the
// track byte, AudioFieldSortKey for the audio. -1 when the file has none (no
// tag, an ID3v1.0 tag without a track, no audio frame found), so such files
// come first in ascending order. 0 for a column that sorts by text.
qint64 CellSortValue(int code, const FileRecords& records);

// Whether any of `codes` needs the audio properties read.
bool NeedsAudio(const QList<int>& codes);

// One row of the list as loaded.
struct Mp3Row {
    QString name;       // the exact file name, relative to the folder listed
    QStringList cells;  // one text per column code, in column order
    QString error;      // why the file could not be read; empty when it was
    // CellSortValue of each column, in column order; empty when the file
    // could not be read (every value column then sorts as -1).
    QList<qint64> values = {};
    // How its legacy texts were decided, for the folder's vote.
    legacytext::FileReading legacy = {};
};

// The row of `name` in `folder`; the content is judged only when `codes`
// hold the content column, the audio read only when they hold an audio
// column, the cover's facts only when they hold the cover column. A file
// that cannot be read (vanished, no permission) still gives a row: its name
// in the file-name columns, every other cell empty, and the store's reason
// in `error`. `folderCodePage` settles the legacy code page of a file whose
// texts are a close call.
Mp3Row LoadMp3Row(const QString& folder, const QString& name, const QList<int>& codes,
                  std::optional<legacytext::CodePage> folderCodePage = std::nullopt);

// The rows of `names`, in that order; `progress` (when set) is called after
// each file with the number done and the total. A file whose legacy texts
// are a close call is read in the code page most files of its folder were
// decided in (legacytext::FolderVote), as LoadFolderRows does too.
std::vector<Mp3Row> LoadMp3Rows(const QString& folder, const QStringList& names,
                                const QList<int>& codes, const ProgressFn& progress = {});

// A whole load of the main list: what ListMp3Files(folder, options) finds,
// read with LoadMp3Rows. Works on plain values only and touches no shared
// state, so it may run on any thread. Throws StoreError when `folder`
// itself cannot be read.
struct FolderRows {
    std::vector<Mp3Row> rows;
    QStringList folders;     // sub-folders entered, relative to `folder`
    QStringList unreadable;  // sub-folders skipped, relative to `folder`
};
// `cancelled` (may be empty) is asked between files; true stops the read
// there, with the rows read so far.
FolderRows LoadFolderRows(const QString& folder, const ListOptions& options,
                          const QList<int>& codes, const ProgressFn& progress = {},
                          const std::function<bool()>& cancelled = {});
