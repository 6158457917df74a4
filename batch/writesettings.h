#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "batch/textsettings.h"
#include "store/safewrite.h"

// The program's settings file "tamberlo.ini" in the program's folder
// (ProgramFolder()), beside clmnhdr.dll. The window, the writes and the
// text settings each keep their own group in it; unknown keys and values
// are ignored, leaving the defaults.
QString SettingsFilePath();
// The file opened for reading or writing; a missing or unreadable file
// reads as empty. Changes are written when the object goes.
std::unique_ptr<QSettings> OpenSettingsFile();

// How files are written; both off by default.
//   "保留文件修改时间": each written file gets back its old modification time.
//   "允许拆开硬链接": a file with other hard links whose new tag does not fit
//     in place is rewritten anyway (the other names keep the old contents);
//     off, such a file is refused with its reason.
ApplyOptions LoadWriteSettings();
void SaveWriteSettings(const ApplyOptions& options);

// What the renaming dialog remembers between openings: the text of its own
// pattern (empty at first) and "兼容 Windows/U 盘文件名" (off at first).
struct RenameSettings {
    QString customPattern;
    bool windowsNames = false;

    bool operator==(const RenameSettings&) const = default;
};
RenameSettings LoadRenameSettings();
void SaveRenameSettings(const RenameSettings& settings);

// The last pattern used to fill tags from file names; a sample pattern at first.
QString LoadFromNamePattern();
void SaveFromNamePattern(const QString& pattern);
// How legacy text is read and new text written:
//   text/legacy=auto|936|950|932|949|1252   (default auto)
//   text/write=gbk|utf16                    (default gbk)
TextSettings LoadTextSettings();
// Throws StoreError when the file cannot be written.
void SaveTextSettings(const TextSettings& settings);
