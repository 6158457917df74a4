#include "batch/id3v2edit.h"

#include <algorithm>
#include <optional>

#include "batch/fromname.h"
#include "batch/text.h"

const std::array<QString, kID3v2RowCount>& ID3v2RowFrameIds() {
    static const std::array<QString, kID3v2RowCount> ids = [] {
        std::array<QString, kID3v2RowCount> all;
        for (const FrameDescriptor& frame : kFrameCatalogue)
            all[size_t(frame.editorRow)] = QString::fromLatin1(frame.id);
        return all;
    }();
    return ids;
}

QString& ID3v2RowField(ID3v2Tag& tag, int row) {
    return tag.*FrameOfEditorRow(row).field;
}

namespace {

// The text the copy from ID3v1 gives a frame; none where the tag has no
// such field (the track of an ID3v1.0 tag). Only blanks are trimmed: NUL
// padding of another program is copied as it stands, and the year keeps
// all four characters.
std::optional<QString> FromV1(V1Counterpart field, const ID3v1Tag& v1) {
    switch (field) {
        case V1Counterpart::Title:
            return TrimSpaces(v1.SongTitle);
        case V1Counterpart::Artist:
            return TrimSpaces(v1.Artist);
        case V1Counterpart::Album:
            return TrimSpaces(v1.Album);
        case V1Counterpart::Year:
            return v1.Year;
        case V1Counterpart::Genre:
            return GenreDisplayName(GenreNumber(v1));
        case V1Counterpart::Comment:
            return TrimSpaces(ID3v1Comment(v1));
        case V1Counterpart::Track:
            if (IsID3v10Tag(v1))
                return std::nullopt;
            return QString::number(v1.Track);
        case V1Counterpart::None:
            break;
    }
    return std::nullopt;
}

}  // namespace

void ApplyID3v2Edit(const ID3v2Edit& edit, ID3v2Values& values, const ID3v1Tag& v1,
                    const QString& name) {
    for (int row = edit.fromV1 ? kID3v2FromV1Rows : 0; row < kID3v2RowCount; ++row) {
        if (edit.ticked[size_t(row)])
            values.set(FrameIndexOfEditorRow(row), TrimSpaces(edit.texts[size_t(row)]));
    }
    if (edit.fromV1) {
        // The "N/A" record stands for a missing tag; it is nothing to copy.
        if (!HasID3v1Tag(v1))
            return;
        for (int i = 0; i < kFrameCount; ++i)
            if (const std::optional<QString> text = FromV1(kFrameCatalogue[size_t(i)].v1, v1))
                values.set(i, *text);
    } else if (edit.titleFromFileName) {
        values.set(FrameIndexOfEditorRow(kV2TitleRow), TitleFromFileName(name));
    }
}

ID3v2Tag EditedID3v2Tag(const ID3v2Edit& edit, const ID3v2Tag& read, const ID3v1Tag& v1,
                        const QString& name) {
    ID3v2Values values = ID3v2ValuesFromRecord(read);
    ApplyID3v2Edit(edit, values, v1, name);
    return values.record();
}

namespace {

// The frame a placeholder fills; null for 原文件名 and for a frame the
// catalogue does not hold.
const char* FrameOfField(NameField field) {
    switch (field) {
        case NameField::Title:
            return "TIT2";
        case NameField::Artist:
            return "TPE1";
        case NameField::Album:
            return "TALB";
        case NameField::Year:
            return "TYER";
        case NameField::Track:
            return "TRCK";
        case NameField::Composer:
            return "TCOM";
        case NameField::AlbumArtist:
            return "TPE2";
        case NameField::Disc:
            return "TPOS";
        case NameField::FileName:
            break;
    }
    return nullptr;
}

// `edit` with the fields of `pattern` ticked and set to `values`.
ID3v2Edit WithNameValues(ID3v2Edit edit, const NamePattern& pattern, const NameValues& values) {
    for (NameField field : pattern.fields()) {
        const char* id = FrameOfField(field);
        const int index = id ? FrameIndex(id) : -1;
        if (index < 0)
            continue;
        const int row = kFrameCatalogue[size_t(index)].editorRow;
        edit.ticked[size_t(row)] = true;
        edit.texts[size_t(row)] = values[size_t(field)];
        if (field == NameField::Title)
            edit.titleFromFileName = false;
    }
    return edit;
}

}  // namespace

EditReport RunID3v2Edit(const TickedFiles& files, const ID3v2Edit& edit,
                        const BatchOptions& options) {
    const NamePattern pattern = ParseNamePattern(edit.fromNamePattern);
    // What the copy leaves to write for a file without an ID3v1 tag.
    const bool rowsBeyondTheCopy =
        std::any_of(edit.ticked.begin() + kID3v2FromV1Rows, edit.ticked.end(),
                    [](bool ticked) { return ticked; }) ||
        edit.cover.action != CoverEdit::Action::Keep;
    ScratchFrames scratch;
    // The edit is made on the tag the planning reads: one read of the file
    // for both.
    const auto planEdit = [&](const QString& path, const QString& name, const ID3v2Edit& own,
                              const ID3v1Tag& v1) {
        const auto build = [&](const ID3v2Contents& present) {
            ID3v2Values values = ID3v2ValuesFromContents(present);
            ApplyID3v2Edit(own, values, v1, name);
            return values.record();
        };
        return PlanID3v2Change(sysio::System(), path, build, own.cover, &scratch);
    };
    const auto planOne = [&](const QString& path, const QString& name) {
        FileEditPlan plan;
        if (!edit.fromNamePattern.isEmpty()) {
            const FromNameRow row = MatchFileName(pattern, name, TagVersion::V2);
            if (!row.matched) {
                plan.alreadyAsAsked = false;
                plan.unmatched = row.reason;
                return plan;
            }
            ID3v2Edit own = WithNameValues(edit, pattern, row.values);
            own.fromNamePattern.clear();
            const ID3v1Tag v1 = own.fromV1 ? ReadID3v1Tag(path) : ID3v1Tag{};
            plan.change = planEdit(path, name, own, v1);
            return plan;
        }
        const ID3v1Tag v1 = edit.fromV1 ? ReadID3v1Tag(path) : ID3v1Tag{};
        const bool copyTakesNothing = edit.fromV1 && !HasID3v1Tag(v1);
        plan.withoutID3v1 = copyTakesNothing;
        if (copyTakesNothing && !rowsBeyondTheCopy) {
            plan.alreadyAsAsked = false;
            return plan;
        }
        plan.change = planEdit(path, name, edit, v1);
        return plan;
    };
    return EditTickedFiles(files, BatchKind::ID3v2, QStringLiteral("修改 ID3v2 标签"), options,
                           planOne);
}
