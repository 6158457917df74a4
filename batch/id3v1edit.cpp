#include "batch/id3v1edit.h"

#include "batch/text.h"

int TrackFromText(const QString& text) {
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok);
    if (!ok)
        return 0;
    return int(std::min(value, 255u));
}

namespace {

// Another program's NUL padding becomes our space padding, also in fields
// the user did not touch.
QString Cleaned(const QString& field, int width) {
    return FixedWidth(CutAtNul(field), width);
}

}  // namespace

ID3v1Tag EditedID3v1Tag(const ID3v1Edit& edit, const ID3v1Tag& read, const QString& name) {
    const auto ticked = [&](ID3v1Row row) { return edit.ticked[row]; };
    ID3v1Tag tag;
    tag.Marker = QStringLiteral("TAG");
    tag.ZeroByte = 0;

    if (edit.titleFromFileName) {
        tag.SongTitle = FixedWidth(TitleFromFileName(name), kTitleWidth);
    } else if (ticked(kV1Title)) {
        tag.SongTitle = FixedWidth(edit.title, kTitleWidth);
    } else {
        tag.SongTitle = Cleaned(read.SongTitle, kTitleWidth);
    }
    tag.Artist = ticked(kV1Artist) ? FixedWidth(edit.artist, kArtistWidth)
                                   : Cleaned(read.Artist, kArtistWidth);
    tag.Album =
        ticked(kV1Album) ? FixedWidth(edit.album, kAlbumWidth) : Cleaned(read.Album, kAlbumWidth);
    tag.Year = ticked(kV1Year) ? FixedWidth(edit.year, kYearWidth) : Cleaned(read.Year, kYearWidth);
    tag.Genre = ticked(kV1Genre) ? GenreCharacter(edit.genre) : read.Genre;
    tag.Comment = ticked(kV1Comment) ? FixedWidth(edit.comment, kCommentWidth)
                                     : Cleaned(read.Comment, kCommentWidth);
    tag.Track = ticked(kV1Track) ? quint8(std::clamp(edit.track, 0, 255)) : read.Track;
    return tag;
}

EditReport RunID3v1Edit(const TickedFiles& files, const ID3v1Edit& edit,
                        const ProgressFn& progress) {
    return EditTickedFiles(files, progress, [&](const QString& path, const QString& name) {
        WriteID3v1Tag(path, EditedID3v1Tag(edit, ReadID3v1Tag(path), name));
    });
}
