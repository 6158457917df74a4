#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "batch/batchoptions.h"
#include "batch/tickedfiles.h"
#include "store/id3v1.h"

// Batch renaming after the ID3v1 tag: the plan (what the preview shows) and
// the run (what OK does with the preview's rows, in the preview's order).

inline constexpr int kFirstRenamePattern = 1;
inline constexpr int kLastRenamePattern = 9;

// The caption of option button `pattern` (0..9; 0 is the invisible "do not
// change" button). The captions use the full-width dash and a spaced
// backslash; the names built use neither.
QString RenamePatternCaption(int pattern);

// The track byte written with at least two digits: 0 -> "00", 7 -> "07",
// 12 -> "12", 255 -> "255".
QString TrackText(quint8 track);

// The new name of pattern 1..9 for `tag`: the fields cut at their first NUL
// and trimmed of blanks, joined by ASCII "-" and, for patterns 6..9, one
// backslash; then ".mp3" in lower case. Nothing is replaced or escaped: a
// forbidden character stays in the name and makes the row blocked.
QString ComposeNewName(int pattern, const ID3v1Tag& tag);

// True when every backslash-separated part of `newName` names something
// below the file's folder: no part is empty, "." or "..". A part that failed
// this would move the file into its own or its parent folder.
bool NamesPlaceBelowFolder(const QString& newName);

// Why `newName` cannot be used as it stands, one text per kind of fault, in
// this order: characters IsValidFileName forbids; the codec's stand-ins for
// bytes code page 936 could not decode (U+F700..U+F7FF), which would become
// characters the tag never held; control characters (U+0000..U+001F,
// U+007F..U+009F); lone surrogates, which name no bytes; folder parts that
// NamesPlaceBelowFolder refuses. Empty when the name may be used.
QStringList NewNameProblems(const QString& newName);

// Why the folder parts of `newName` under `folder` cannot be used: one of
// them is, or passes through, a symbolic link whose target lies outside
// `folder` (LinkLeavesFolder). Empty otherwise; parts that do not exist yet
// are fine, since the run creates them below `folder`.
QString OutsideLinkProblem(const QString& folder, const QString& newName);

// One row of the preview.
struct RenameRow {
    QString folder;   // the folder that holds the file (no trailing "/"), exact
    QString oldName;  // the file's exact name without folder
    QString newName;  // as composed, backslashes kept; empty when unreadable
    // False when the row is blocked: `problem`, `blockedBy` or `sameTargetAs`
    // says why.
    bool ready = false;
    // Why the file could not be read while the row was planned (gone, not a
    // regular file, unreadable); empty otherwise. Such a row is blocked.
    QString problem;
    // Why the row is blocked on its own (read-only file, no ID3v1 tag, the
    // new name's faults), joined by "；"; empty otherwise.
    QString blockedBy;
    // The number (from 1, in the batch's order) of an earlier row that takes
    // the same target; 0 when none. Set by MarkSameTargets.
    int sameTargetAs = 0;

    bool operator==(const RenameRow&) const = default;
};

// Why a row is blocked, as the preview's tooltip and "原因" column and the
// report say it; empty for a ready row.
QString RenameRowReason(const RenameRow& row);

// What the preview's second column shows: the composed name, or the reason
// the file could not be read.
QString PreviewNewNameText(const RenameRow& row);

// Plans one file: reads its tag and its read-only bit afresh. A `name` with
// folders in it ("专辑/01.mp3", from a listing of sub-folders) is planned in
// its own folder: `folder` of the row is that folder, `oldName` the last
// part, and the new name lands beside the file. Never throws:
// a file that has gone, is not a regular file (only regular files are
// opened) or cannot be read gives a blocked row with `problem` set. Does not
// look at other rows (see MarkSameTargets).
RenameRow PlanRenameRow(const QString& folder, const QString& name, int pattern);

// Checks the batch as a whole, in the order given: a row that would take the
// same target as an earlier row that is ready on its own (targets compared as
// the file system compares names: byte for byte) gets `sameTargetAs` and is
// blocked. Marks from an earlier order are replaced, so a reordered batch is
// checked again.
void MarkSameTargets(std::vector<RenameRow>& rows);

// The row's file as the list named it: its path relative to `listed`, the
// folder the list showed ("专辑/01.mp3"), or its name when it lies there.
QString ListedName(const RenameRow& row, const QString& listed);

// One row per ticked file, in the order given, checked as a batch.
// `progress` (may be empty) is called after each file.
// `cancelled` (may be empty) is asked between files; true stops the plan
// there, with the rows planned so far.
std::vector<RenameRow> PlanRename(const TickedFiles& files, int pattern,
                                  const ProgressFn& progress = {},
                                  const std::function<bool()>& cancelled = {});

enum class RenameOutcome {
    Renamed,     // moved to its new name
    Blocked,     // not ready in the plan; not touched
    Clash,       // something already stands at the new name; not touched
    Refused,     // the file system refused the rename; not touched
    NotReached,  // the run stopped before it (cancelled, journal failure); not touched
};

struct RenameRowResult {
    RenameOutcome outcome = RenameOutcome::Blocked;
    QString reason;  // why the file was not renamed; empty when it was
};

struct RenameReport {
    int renamed = 0;
    int blocked = 0;
    int clash = 0;
    int refused = 0;
    int notReached = 0;
    bool cancelled = false;
    QString journalFailure;             // the journal could not be written; later rows not reached
    std::vector<RenameRowResult> rows;  // one per row given, same order
};

// Renames the ready rows one by one in the order given, as one journaled
// batch ("修改 Mp3 文件名") that undo can take back (see BatchOptions).
// The first backslash of a new name creates one level of sub-folder when
// the file's folder holds nothing visible of that name; every backslash is
// a folder separator under the file's folder. Nothing is ever replaced:
// whatever stands at the target (file, folder, hidden entry, or one that
// appears meanwhile) makes a clash; a file moved or replaced since the
// plan looked is refused. A folder part that has become a link leading
// outside the file's folder (OutsideLinkProblem) is refused. A sub-folder
// created for a row that then fails is removed again when it is empty. A
// refused operation leaves the file where it was; rows renamed before it
// stay renamed. The five counts add up to rows.size().
RenameReport RunRename(const std::vector<RenameRow>& rows, const BatchOptions& options = {});

// The confirmation asked before the run, and the captions of the messages.
extern const QString kRenameConfirmText;
extern const QString kRenameConfirmCaption;
extern const QString kRenameReportCaption;

// The report message: the renamed line always, then the blocked, clash and
// refused lines when their counts are above 0; every line ends in
// kMessageBreak.
QString RenameReportText(const RenameReport& report);
// Every file of the run that was not renamed, one line each: its name
// (DisplayFileName of names[i], the exact name or path row i stands for),
// "：", and its reason. Empty when every file was renamed.
QString RenameDetailsText(const QStringList& names, const RenameReport& report);
