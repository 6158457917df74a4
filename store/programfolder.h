#pragma once

#include <QString>

// The program's own folder, where clmnhdr.dll and the scratch file tempv2
// live: the executable's folder when it is writable and not an installed
// bin/ (a build or a portable copy), otherwise the per-user configuration
// folder (created when missing).
QString ProgramFolder();

// Names the program "Tamberlo" for the per-user configuration folder. The
// window and the command line both call it first thing, so that they share
// one program folder (and one clmnhdr.dll) wherever they run from.
void SetProgramName();

// Points ProgramFolder() at `folder` (tests, benchmarks); an empty text
// restores the normal choice.
void SetProgramFolder(const QString& folder);

// The folder of the write-ahead journal that makes batches crash-safe and
// undoable: QStandardPaths::AppDataLocation + "/journal" (not created here).
QString JournalFolder();
// Points JournalFolder() at `folder` (tests, benchmarks); an empty text
// restores the normal choice.
void SetJournalFolder(const QString& folder);
