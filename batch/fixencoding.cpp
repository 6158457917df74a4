#include "batch/fixencoding.h"

#include <QHash>

#include "batch/columns.h"
#include "batch/textencoding.h"
#include "batch/textsettings.h"
#include "store/codec.h"
#include "store/filefacts.h"
#include "store/filerecords.h"
#include "store/framecatalogue.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/id3v2text.h"
#include "store/tagvalues.h"

using legacytext::Certainty;
using legacytext::CodePage;

namespace {

// The ID3v1 text fields in ID3v1Stored's order, with their width and the
// index of their name in ID3v1FieldNames.
struct V1Field {
    QString ID3v1Tag::*text;
    int width;
    int nameIndex;
};
constexpr V1Field kV1Fields[] = {{&ID3v1Tag::SongTitle, kTitleWidth, 0},
                                 {&ID3v1Tag::Artist, kArtistWidth, 1},
                                 {&ID3v1Tag::Album, kAlbumWidth, 2},
                                 {&ID3v1Tag::Year, kYearWidth, 3},
                                 {&ID3v1Tag::Comment, kCommentWidth, 6}};

// A field's text without the padding of its fixed width (blanks, NULs).
QString Unpadded(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == u' ' || text[end - 1] == u'\0')) --end;
    return text.left(end);
}

bool BeyondAscii(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x80; });
}

QString WrittenAs(const QString& text) {
    quint8 enc = 0;
    id3v2text::EncodeForWriting(text, &enc);
    return enc == 0 ? QStringLiteral("GBK") : QStringLiteral("Unicode");
}

QList<EncodingFix> V2Fixes(const ID3v2Values& values) {
    QList<EncodingFix> fixes;
    for (int i = 0; i < kFrameCount; ++i) {
        const FrameDescriptor& frame = kFrameCatalogue[size_t(i)];
        const TagValue& value = values.field(i);
        if (frame.kind == FrameKind::Link || value.stored.described || !value.stored.present ||
            !BeyondAscii(value.read))
            continue;
        EncodingFix fix;
        fix.field = i;
        fix.caption = QStringLiteral("ID3v2 ") + ID3v2FieldNames().at(i);
        fix.oldText = value.read;
        const auto codePage = legacytext::CodePageOf(value.stored.codePage);
        const auto repaired = MojibakeRepair(value.read);
        if (value.stored.encoding != 0 || !codePage) {
            if (!repaired)
                continue;  // Unicode, read right
            fix.from = QStringLiteral("乱码?");
        } else {
            fix.from = CodePageShortName(*codePage);
            // Text the user fixed as Latin-1 may still be Chinese read wrong.
            if (repaired && *codePage == CodePage::Western)
                fix.from = QStringLiteral("乱码?");
            else if (repaired)
                continue;  // Latin-1 look-alike in a Chinese code page: left as read
        }
        fix.newText = repaired && fix.from == QStringLiteral("乱码?") ? repaired->text : value.read;
        fix.to = WrittenAs(fix.newText);
        // Code page 936 text written as 936 again changes nothing.
        if (fix.newText == fix.oldText && fix.to == fix.from)
            continue;
        fixes.append(fix);
    }
    return fixes;
}

QList<EncodingFix> V1Fixes(const ID3v1Tag& v1) {
    QList<EncodingFix> fixes;
    if (!HasID3v1Tag(v1))
        return fixes;
    for (int i = 0; i < int(std::size(kV1Fields)); ++i) {
        const auto codePage = legacytext::CodePageOf(v1.Stored.codePages[size_t(i)]);
        if (!codePage || *codePage == CodePage::Gbk)
            continue;
        const V1Field& f = kV1Fields[i];
        const QString text = Unpadded(v1.*f.text);
        const auto repaired = MojibakeRepair(text);
        // Latin-1 is what every other reader takes ID3v1 text for; it stays
        // unless it is Chinese read wrong.
        if (*codePage == CodePage::Western && !repaired)
            continue;
        EncodingFix fix;
        fix.v1 = true;
        fix.field = i;
        fix.caption = QStringLiteral("ID3v1 ") + ID3v1FieldNames().at(f.nameIndex);
        fix.oldText = text;
        fix.newText = repaired ? repaired->text : text;
        fix.from = repaired ? QStringLiteral("乱码?") : CodePageShortName(*codePage);
        fix.to = QStringLiteral("GBK");
        if (i == 4 && IsID3v10Tag(v1))
            fix.leftBecause = QStringLiteral("ID3v1.0 的备注占用了音轨字节，保持原样");
        else if (FindCharacterNotInCP936(fix.newText) >= 0)
            fix.leftBecause =
                QStringLiteral("GBK 容纳不下「%1」，保持原样")
                    .arg(CharacterAt(fix.newText, FindCharacterNotInCP936(fix.newText)));
        else if (EncodeCP936(fix.newText).size() > f.width)
            fix.leftBecause = QStringLiteral("转为 GBK 后超过 %1 字节，保持原样").arg(f.width);
        fixes.append(fix);
    }
    return fixes;
}

FileRecords ReadRecords(const QString& path, std::optional<CodePage> folder) {
    return ReadFileRecords(path, false, false, folder);
}

}  // namespace

QString FixText(const EncodingFix& fix) {
    const QString from = fix.oldText + QStringLiteral("（") + fix.from + QStringLiteral("）");
    if (!fix.leftBecause.isEmpty())
        return from + QStringLiteral("：") + fix.leftBecause;
    return from + QStringLiteral(" → ") + fix.newText + QStringLiteral("（") + fix.to +
           QStringLiteral("）");
}

QString NothingToFixText() {
    return QStringLiteral("没有需要修复或转换的文字");
}

QList<FileEncodingFixes> PlanEncodingFixes(const TickedFiles& files, const ProgressFn& progress,
                                           const std::function<bool()>& cancelled) {
    QList<FileEncodingFixes> plans;
    const int total = int(files.names.size());
    // The files' close calls are settled by the code page most of the
    // ticked files of the same folder were decided in, as the list does.
    QHash<QString, legacytext::FolderVote> votes;
    QList<legacytext::FileReading> readings;
    for (int i = 0; i < total && !(cancelled && cancelled()); ++i) {
        FileEncodingFixes plan;
        plan.name = files.names[i];
        try {
            const FileRecords records = ReadRecords(JoinPath(files.folderOf(i), plan.name), {});
            readings.append(LegacyReadingOf(records));
            votes[files.folderOf(i)].Add(readings.last());
        } catch (const StoreError& error) {
            readings.append(legacytext::FileReading{});
            plan.error = error.reason().isEmpty() ? error.message() : error.reason();
        }
        plans.append(plan);
        if (progress)
            progress(i + 1, 2 * total);
    }
    for (qsizetype i = 0; i < plans.size() && !(cancelled && cancelled()); ++i) {
        FileEncodingFixes& plan = plans[i];
        if (!plan.error.isEmpty())
            continue;
        if (readings[i].certainty == Certainty::Guess)
            plan.folderCodePage = votes.value(files.folderOf(i)).Majority();
        const QString path = JoinPath(files.folderOf(i), plan.name);
        try {
            plan.fixes =
                V2Fixes(ID3v2ValuesFromContents(ReadID3v2ShownFrames(path, plan.folderCodePage)));
            plan.fixes += V1Fixes(ReadID3v1Tag(path, plan.folderCodePage));
        } catch (const StoreError& error) {
            plan.error = error.reason().isEmpty() ? error.message() : error.reason();
        }
        if (progress)
            progress(int(total + i + 1), 2 * total);
    }
    return plans;
}

EditReport RunEncodingFixes(const TickedFiles& files, const QList<FileEncodingFixes>& chosen,
                            const BatchOptions& options) {
    QHash<QString, const FileEncodingFixes*> byName;
    for (const FileEncodingFixes& plan : chosen) byName.insert(plan.name, &plan);
    // Only the files with a fix to make are walked.
    TickedFiles walked = files;
    walked.names.clear();
    walked.folders.clear();
    for (qsizetype i = 0; i < files.names.size(); ++i) {
        const FileEncodingFixes* plan = byName.value(files.names[i]);
        if (!plan || std::none_of(plan->fixes.begin(), plan->fixes.end(),
                                  [](const EncodingFix& f) { return f.leftBecause.isEmpty(); }))
            continue;
        walked.names.append(files.names[i]);
        if (!files.folders.isEmpty())
            walked.folders.append(files.folders[i]);
    }
    ScratchFrames scratch;
    const auto planOne = [&](const QString& path, const QString& name) {
        const FileEncodingFixes& wanted = *byName.value(name);
        ID3v2Values values =
            ID3v2ValuesFromContents(ReadID3v2ShownFrames(path, wanted.folderCodePage));
        ID3v1Tag v1 = ReadID3v1Tag(path, wanted.folderCodePage);
        const QList<EncodingFix> now = V2Fixes(values) + V1Fixes(v1);
        bool v2Changed = false;
        bool v1Changed = false;
        int made = 0;
        int asked = 0;
        ID3v2Tag record;
        for (const EncodingFix& fix : wanted.fixes) {
            if (!fix.leftBecause.isEmpty())
                continue;
            ++asked;
            if (!now.contains(fix))
                continue;  // the file shows something else now
            ++made;
            if (fix.v1) {
                const V1Field& f = kV1Fields[fix.field];
                // Padded as the writer padded it (ffmpeg: NULs), so the
                // field's end looks as before; padding past the width in
                // bytes is cut when the tag is rendered.
                const QString& old = v1.*f.text;
                const QChar pad = old.contains(QChar(0)) ? QChar(0) : QChar(u' ');
                v1.*f.text = fix.newText + QString(f.width - fix.newText.size(), pad);
                v1.Stored.rewrite[size_t(fix.field)] = true;
                v1Changed = true;
            } else {
                values.set(fix.field, fix.newText);
                v2Changed = true;
            }
        }
        if (made == 0 && asked > 0)
            throw StoreError(path, StoreOp::Write, StoreProblem::Text, 0,
                             QStringLiteral("文件在预览之后被改动，未作改动"));
        FileEditPlan plan;
        if (v2Changed) {
            record = values.record();
            for (const EncodingFix& fix : wanted.fixes)
                if (!fix.v1 && fix.leftBecause.isEmpty() && now.contains(fix))
                    record.Legacy.rewrite[size_t(fix.field)] = true;
            plan.change = PlanID3v2Tag(sysio::System(), path, record, {}, &scratch);
        }
        if (v1Changed) {
            FileChange v1Change = PlanID3v1Tag(sysio::System(), path, v1);
            if (plan.change.splices.isEmpty())
                plan.change = v1Change;
            else
                plan.change.splices += v1Change.splices;
        }
        return plan;
    };
    return EditTickedFiles(walked, BatchKind::Repair, QStringLiteral("修复乱码 / 转为 Unicode"),
                           options, planOne);
}
