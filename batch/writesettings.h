#pragma once

#include "store/safewrite.h"

// The settings of how files are written, kept in "tamberlo.ini" in the
// program's folder (ProgramFolder()); both off by default.
//   "保留文件修改时间": each written file gets back its old modification time.
//   "允许拆开硬链接": a file with other hard links whose new tag does not fit
//     in place is rewritten anyway (the other names keep the old contents);
//     off, such a file is refused with its reason.
ApplyOptions LoadWriteSettings();
void SaveWriteSettings(const ApplyOptions& options);
