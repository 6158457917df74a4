#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "batch/batchoptions.h"
#include "batch/editreport.h"
#include "batch/tickedfiles.h"
#include "store/legacytext.h"

// "修复乱码 / 转为 Unicode": text another program garbled is repaired, and
// text stored in a legacy code page is written the way this program writes
// text now (id3v2text::CurrentWriteMode: Unicode, or code page 936 where
// the GBK setting keeps it).
//
// ID3v2 texts that change:
//   - Unicode text that is mojibake (MojibakeRepair) gets the text it stood for;
//   - legacy text (encoding byte 0, more than ASCII) is written afresh, so
//     it changes unless it is code page 936 text the GBK setting would
//     write as code page 936 again.
//   A comment or link shown from a frame with a description, and the URL of
//   the link, are never touched.
// ID3v1 fields read in another code page than 936 are written as 936 when
// 936 holds their text within the field's width; otherwise they are listed
// as left as they are, with the reason. The comment of an ID3v1.0 tag, which
// runs over the track byte, is left too.

struct EncodingFix {
    bool v1 = false;  // an ID3v1 field; else an ID3v2 frame
    // ID3v2: the index of kFrameCatalogue; ID3v1: 0..4, title, artist,
    // album, year, comment.
    int field = 0;
    QString caption;  // "ID3v2 标题", "ID3v1 艺术家"
    QString oldText;  // as shown now, padding trimmed
    QString newText;  // as it will read
    QString from;     // how it is stored now: "GBK", "Big5", ..., "乱码?"
    QString to;       // how it will be stored: "Unicode", "GBK"
    // Empty when the fix can be made; else why the field is left as it is.
    QString leftBecause;

    bool operator==(const EncodingFix&) const = default;
};

struct FileEncodingFixes {
    QString name;  // as ticked
    // The code page the file's close calls were settled in (its folder's
    // vote among the ticked files); the run reads the file the same way.
    std::optional<legacytext::CodePage> folderCodePage;
    QList<EncodingFix> fixes;  // empty: nothing to change
    QString error;             // why the file could not be read
};

// How the preview and the command line show a fix: "ÆßÀïÏã（乱码?）→
// 七里香（GBK）"; a fix that is left says so with its reason.
QString FixText(const EncodingFix& fix);
// What a file with nothing to change shows.
QString NothingToFixText();

// The fixes of every ticked file, in order. Reading only; `cancelled` (may
// be empty) is asked between files and stops the preview there.
QList<FileEncodingFixes> PlanEncodingFixes(const TickedFiles& files,
                                           const ProgressFn& progress = {},
                                           const std::function<bool()>& cancelled = {});

// Makes the chosen fixes (those of `chosen` with an empty leftBecause; a
// file with none is not touched), as one journaled batch "修复乱码 / 转为
// Unicode": each file is read again and a fix is made only when the file
// still shows the same old text; a file whose chosen fixes all no longer
// match is a failure ("文件在预览之后被改动，未作改动"). Read-only files are
// skipped and counted.
EditReport RunEncodingFixes(const TickedFiles& files, const QList<FileEncodingFixes>& chosen,
                            const BatchOptions& options = {});
