#include "batch/id3v1edit.h"

#include "batch/text.h"
#include "store/codec.h"

int TrackFromText(const QString& text) {
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok);
    if (!ok)
        return 0;
    return int(std::min(value, 255u));
}

QString ID3v1FieldName(int row) {
    switch (row) {
        case kV1Title:
            return QStringLiteral("歌名");
        case kV1Artist:
            return QStringLiteral("艺术家");
        case kV1Album:
            return QStringLiteral("专辑");
        case kV1Year:
            return QStringLiteral("年份");
        case kV1Comment:
            return QStringLiteral("备注");
        default:
            return {};
    }
}

int ID3v1FieldWidth(int row) {
    switch (row) {
        case kV1Title:
            return kTitleWidth;
        case kV1Artist:
            return kArtistWidth;
        case kV1Album:
            return kAlbumWidth;
        case kV1Year:
            return kYearWidth;
        case kV1Comment:
            return kCommentWidth;
        default:
            return 0;
    }
}

namespace {

QString Quoted(const QString& text) {
    return QStringLiteral("“") + text + QStringLiteral("”");
}

QString NotHeld(const QString& character) {
    return Quoted(character) + QStringLiteral("不能保存在 ID3v1 标签里（只能保存 GBK 字符）");
}

}  // namespace

QString ID3v1TextProblem(int row, const QString& text) {
    const QString field = ID3v1FieldName(row);
    if (const qsizetype bad = FindCharacterNotInCP936(text); bad >= 0)
        return field + QStringLiteral("中的") + NotHeld(CharacterAt(text, bad));
    const qsizetype bytes = EncodeCP936(text).size();
    if (bytes > ID3v1FieldWidth(row)) {
        return field + QStringLiteral("有 %1 字节，超过了 ID3v1 标签的 %2 字节")
                           .arg(bytes)
                           .arg(ID3v1FieldWidth(row));
    }
    return {};
}

QStringList ID3v1EditProblems(const ID3v1Edit& edit) {
    const std::pair<int, const QString*> texts[] = {
        {kV1Title, &edit.title}, {kV1Artist, &edit.artist},   {kV1Album, &edit.album},
        {kV1Year, &edit.year},   {kV1Comment, &edit.comment},
    };
    QStringList problems;
    for (const auto& [row, text] : texts) {
        if (!edit.ticked[size_t(row)] || (row == kV1Title && edit.titleFromFileName))
            continue;
        if (const QString problem = ID3v1TextProblem(row, *text); !problem.isEmpty())
            problems << problem + QStringLiteral("。");
    }
    return problems;
}

ReportMessage RefusedID3v1EditMessage(const QStringList& problems) {
    return {problems.join(QLatin1Char('\n')) + kMessageBreak +
                QStringLiteral("请修改后再试。没有修改任何文件。"),
            QStringLiteral("无法写入 ID3v1 标签")};
}

FittedTitle FitID3v1Title(const QString& title) {
    FittedTitle fitted;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < title.size();) {
        const QString character = CharacterAt(title, i);
        if (FindCharacterNotInCP936(character) >= 0) {
            fitted.note = QStringLiteral("写入的歌名为") + Quoted(fitted.text) +
                          QStringLiteral("，") + NotHeld(character);
            return fitted;
        }
        bytes += EncodeCP936(character).size();
        if (bytes > kTitleWidth) {
            fitted.note = QStringLiteral("写入的歌名为") + Quoted(fitted.text) +
                          QStringLiteral("，文件名超过了 %1 字节").arg(kTitleWidth);
            return fitted;
        }
        fitted.text += character;
        i += character.size();
    }
    return fitted;
}

namespace {

// Another program's NUL padding becomes our space padding, also in fields
// the user did not touch.
QString Cleaned(const QString& field, int width) {
    return FixedWidth(CutAtNul(field), width);
}

}  // namespace

ID3v1Tag EditedID3v1Tag(const ID3v1Edit& edit, const ID3v1Tag& read, const QString& name,
                        QString* titleNote) {
    const auto ticked = [&](ID3v1Row row) { return edit.ticked[row]; };
    // A placeholder shown for a missing tag is never written.
    const ID3v1Tag& base = HasID3v1Tag(read) ? read : BlankID3v1Tag();
    ID3v1Tag tag;
    tag.Marker = QStringLiteral("TAG");

    if (edit.titleFromFileName) {
        FittedTitle fitted = FitID3v1Title(TitleFromFileName(name));
        tag.SongTitle = FixedWidth(fitted.text, kTitleWidth);
        if (titleNote)
            *titleNote = fitted.note;
    } else if (ticked(kV1Title)) {
        tag.SongTitle = FixedWidth(edit.title, kTitleWidth);
    } else {
        tag.SongTitle = Cleaned(base.SongTitle, kTitleWidth);
    }
    tag.Artist = ticked(kV1Artist) ? FixedWidth(edit.artist, kArtistWidth)
                                   : Cleaned(base.Artist, kArtistWidth);
    tag.Album =
        ticked(kV1Album) ? FixedWidth(edit.album, kAlbumWidth) : Cleaned(base.Album, kAlbumWidth);
    tag.Year = ticked(kV1Year) ? FixedWidth(edit.year, kYearWidth) : Cleaned(base.Year, kYearWidth);
    tag.Genre = ticked(kV1Genre) ? GenreCharacter(edit.genre) : base.Genre;

    if (!ticked(kV1Comment) && !ticked(kV1Track)) {
        // Bytes 97-126 go back as they were: an ID3v1.0 comment runs on over
        // the zero byte and the track, and its padding cannot be told from
        // those two bytes, so it is not cleaned either.
        tag.Comment = IsID3v10Tag(base) ? base.Comment : Cleaned(base.Comment, kCommentWidth);
        tag.ZeroByte = base.ZeroByte;
        tag.Track = base.Track;
        return tag;
    }
    // The ID3v1.1 layout. An ID3v1.0 comment keeps what fits its 28 bytes
    // (whole characters), and its last two bytes never become a track.
    tag.ZeroByte = 0;
    tag.Comment = ticked(kV1Comment) ? FixedWidth(edit.comment, kCommentWidth)
                                     : Cleaned(ID3v1Comment(base), kCommentWidth);
    if (ticked(kV1Track))
        tag.Track = quint8(std::clamp(edit.track, 0, 255));
    else
        tag.Track = IsID3v10Tag(base) ? 0 : base.Track;
    return tag;
}

EditReport RunID3v1Edit(const TickedFiles& files, const ID3v1Edit& edit,
                        const BatchOptions& options) {
    return EditTickedFiles(files, BatchKind::ID3v1, QStringLiteral("修改 ID3v1 标签"), options,
                           [&](const QString& path, const QString& name) {
                               FileEditPlan plan;
                               const ID3v1Tag tag =
                                   EditedID3v1Tag(edit, ReadID3v1Tag(path), name, &plan.cutTitle);
                               plan.change = PlanID3v1Tag(sysio::System(), path, tag);
                               return plan;
                           });
}
