#include "batch/id3v2edit.h"

#include <algorithm>

#include "batch/text.h"

const std::array<QString, kID3v2RowCount>& ID3v2RowFrameIds() {
    static const std::array<QString, kID3v2RowCount> ids = {
        QStringLiteral("TIT2"), QStringLiteral("TPE1"), QStringLiteral("TALB"),
        QStringLiteral("TYER"), QStringLiteral("TCON"), QStringLiteral("COMM"),
        QStringLiteral("TRCK"), QStringLiteral("TCOM"), QStringLiteral("TOPE"),
        QStringLiteral("TCOP"), QStringLiteral("WXXX"), QStringLiteral("TENC"),
    };
    return ids;
}

QString& ID3v2RowField(ID3v2Tag& tag, int row) {
    switch (row) {
        case kV2TIT2:
            return tag.TIT2;
        case kV2TPE1:
            return tag.TPE1;
        case kV2TALB:
            return tag.TALB;
        case kV2TYER:
            return tag.TYER;
        case kV2TCON:
            return tag.TCON;
        case kV2COMM:
            return tag.COMM;
        case kV2TRCK:
            return tag.TRCK;
        case kV2TCOM:
            return tag.TCOM;
        case kV2TOPE:
            return tag.TOPE;
        case kV2TCOP:
            return tag.TCOP;
        case kV2WXXX:
            return tag.WXXX;
        default:
            return tag.TENC;
    }
}

ID3v2Tag EditedID3v2Tag(const ID3v2Edit& edit, const ID3v2Tag& read, const ID3v1Tag& v1,
                        const QString& name) {
    ID3v2Tag tag = read;
    for (int row = edit.fromV1 ? kID3v2FromV1Rows : 0; row < kID3v2RowCount; ++row) {
        if (edit.ticked[size_t(row)])
            ID3v2RowField(tag, row) = TrimSpaces(edit.texts[size_t(row)]);
    }
    if (edit.fromV1) {
        // The "N/A" record stands for a missing tag; it is nothing to copy.
        if (!HasID3v1Tag(v1))
            return tag;
        // Only blanks are trimmed: NUL padding of another program is copied
        // as it stands, and the year keeps all four characters.
        tag.TALB = TrimSpaces(v1.Album);
        tag.TIT2 = TrimSpaces(v1.SongTitle);
        tag.TPE1 = TrimSpaces(v1.Artist);
        if (!IsID3v10Tag(v1))
            tag.TRCK = QString::number(v1.Track);
        tag.COMM = TrimSpaces(ID3v1Comment(v1));
        tag.TCON = GenreDisplayName(GenreNumber(v1));
        tag.TYER = v1.Year;
    } else if (edit.titleFromFileName) {
        tag.TIT2 = TitleFromFileName(name);
    }
    return tag;
}

EditReport RunID3v2Edit(const TickedFiles& files, const ID3v2Edit& edit,
                        const BatchOptions& options) {
    // What the copy leaves to write for a file without an ID3v1 tag.
    const bool rowsBeyondTheCopy =
        std::any_of(edit.ticked.begin() + kID3v2FromV1Rows, edit.ticked.end(),
                    [](bool ticked) { return ticked; });
    const auto planOne = [&](const QString& path, const QString& name) {
        FileEditPlan plan;
        const ID3v2Tag read = ReadID3v2Tag(path);
        const ID3v1Tag v1 = edit.fromV1 ? ReadID3v1Tag(path) : ID3v1Tag{};
        const bool copyTakesNothing = edit.fromV1 && !HasID3v1Tag(v1);
        plan.withoutID3v1 = copyTakesNothing;
        if (copyTakesNothing && !rowsBeyondTheCopy) {
            plan.alreadyAsAsked = false;
            return plan;
        }
        plan.change = PlanID3v2Tag(sysio::System(), path, EditedID3v2Tag(edit, read, v1, name));
        return plan;
    };
    return EditTickedFiles(files, BatchKind::ID3v2, QStringLiteral("修改 ID3v2 标签"), options,
                           planOne);
}
