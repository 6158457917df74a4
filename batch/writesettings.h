#pragma once

#include <QString>

#include "store/safewrite.h"

// The program's settings, kept in "tamberlo.ini" in the program's folder
// (ProgramFolder()).

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
