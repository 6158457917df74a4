#include "store/id3v1.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "store/codec.h"
#include "store/filecontent.h"
#include "store/fileio.h"
#include "store/safewrite.h"

namespace {

constexpr int kTagSize = 128;
const QString kNoTag = QStringLiteral("N/A");

// The text fields in the order of ID3v1Stored::codePages.
struct TextField {
    int offset;
    int width;
    QString ID3v1Tag::*field;
};
constexpr std::array<TextField, 5> kTextFields = {{
    {3, kTitleWidth, &ID3v1Tag::SongTitle},
    {33, kArtistWidth, &ID3v1Tag::Artist},
    {63, kAlbumWidth, &ID3v1Tag::Album},
    {93, kYearWidth, &ID3v1Tag::Year},
    {97, kCommentWidth, &ID3v1Tag::Comment},
}};
constexpr int kCommentField = 4;

QString ReadAs(const ID3v1Stored& stored, int field, QByteArrayView bytes) {
    const auto cp = legacytext::CodePageOf(stored.codePages[size_t(field)]);
    return cp ? legacytext::DecodeAs(*cp, bytes) : DecodeCP936(bytes);
}

// Whether field `field` of `tag` still holds the text its stored bytes read as.
bool Unchanged(const ID3v1Tag& tag, int field) {
    if (tag.Stored.bytes.size() != kTagSize || tag.Stored.rewrite[size_t(field)])
        return false;
    const TextField& f = kTextFields[size_t(field)];
    return tag.*f.field ==
           FixedWidth(ReadAs(tag.Stored, field,
                             QByteArrayView(tag.Stored.bytes).sliced(f.offset, f.width)),
                      f.width);
}

}  // namespace

QString FixedWidth(const QString& text, int width) {
    if (text.size() >= width)
        return text.left(width);
    return text + QString(width - text.size(), QLatin1Char(' '));
}

ID3v1Tag NoID3v1Tag() {
    ID3v1Tag tag;
    tag.Marker = kNoTag;
    tag.SongTitle = FixedWidth(kNoTag, kTitleWidth);
    tag.Artist = FixedWidth(kNoTag, kArtistWidth);
    tag.Album = FixedWidth(kNoTag, kAlbumWidth);
    tag.Year = FixedWidth(kNoTag, kYearWidth);
    tag.Comment = FixedWidth(kNoTag, kCommentWidth);
    tag.Genre = kNoTag.left(1);
    return tag;
}

bool HasID3v1Tag(const ID3v1Tag& tag) {
    return tag.Marker != kNoTag;
}

ID3v1Tag BlankID3v1Tag() {
    ID3v1Tag tag;
    tag.Marker = QStringLiteral("TAG");
    tag.SongTitle = FixedWidth({}, kTitleWidth);
    tag.Artist = FixedWidth({}, kArtistWidth);
    tag.Album = FixedWidth({}, kAlbumWidth);
    tag.Year = FixedWidth({}, kYearWidth);
    tag.Comment = FixedWidth({}, kCommentWidth);
    tag.Genre = GenreCharacter(255);
    return tag;
}

bool IsID3v10Tag(const ID3v1Tag& tag) {
    return HasID3v1Tag(tag) && tag.ZeroByte != 0;
}

QString ID3v1Comment(const ID3v1Tag& tag) {
    if (!IsID3v10Tag(tag))
        return tag.Comment;
    if (Unchanged(tag, kCommentField))
        return ReadAs(tag.Stored, kCommentField, QByteArrayView(tag.Stored.bytes).sliced(97, 30));
    QByteArray bytes = EncodeCP936Fixed(tag.Comment, kCommentWidth);
    bytes += char(tag.ZeroByte);
    bytes += char(tag.Track);
    return DecodeCP936(bytes);
}

int GenreNumber(const ID3v1Tag& tag) {
    const QByteArray bytes = EncodeCP936(tag.Genre.left(1));
    return bytes.isEmpty() ? 0 : uchar(bytes.at(0));
}

QString GenreCharacter(int number) {
    const char byte = char(number & 0xFF);
    return DecodeCP936(QByteArrayView(&byte, 1));
}

const QStringList& GenreNames() {
    static const QStringList names = {"Blues",
                                      "Classic Rock",
                                      "Country",
                                      "Dance",
                                      "Disco",
                                      "Funk",
                                      "Grunge",
                                      "Hip-Hop",
                                      "Jazz",
                                      "Metal",
                                      "New Age",
                                      "Oldies",
                                      "Other",
                                      "Pop",
                                      "R&B",
                                      "Rap",
                                      "Reggae",
                                      "Rock",
                                      "Techno",
                                      "Industrial",
                                      "Alternative",
                                      "Ska",
                                      "Death Metal",
                                      "Pranks",
                                      "Soundtrack",
                                      "Euro-Techno",
                                      "Ambient",
                                      "Trip-Hop",
                                      "Vocal",
                                      "Jazz+Funk",
                                      "Fusion",
                                      "Trance",
                                      "Classical",
                                      "Instrumental",
                                      "Acid",
                                      "House",
                                      "Game",
                                      "Sound Clip",
                                      "Gospel",
                                      "Noise",
                                      "AlternRock",
                                      "Bass",
                                      "Soul",
                                      "Punk",
                                      "Space",
                                      "Meditative",
                                      "Instrumental Pop",
                                      "Instrumental Rock",
                                      "Ethnic",
                                      "Gothic",
                                      "Darkwave",
                                      "Techno-Industrial",
                                      "Electronic",
                                      "Pop-Folk",
                                      "Eurodance",
                                      "Dream",
                                      "Southern Rock",
                                      "Comedy",
                                      "Cult",
                                      "Gangsta",
                                      "Top 40",
                                      "Christian Rap",
                                      "Pop/Funk",
                                      "Jungle",
                                      "Native American",
                                      "Cabaret",
                                      "New Wave",
                                      "Psychadelic",
                                      "Rave",
                                      "Showtunes",
                                      "Trailer",
                                      "Lo-Fi",
                                      "Tribal",
                                      "Acid Punk",
                                      "Acid Jazz",
                                      "Polka",
                                      "Retro",
                                      "Musical",
                                      "Rock & Roll",
                                      "Hard Rock"};
    return names;
}

QString GenreDisplayName(int number) {
    const QStringList& names = GenreNames();
    return number >= 0 && number < names.size() ? names.at(number) : names.at(12);
}

ID3v1Tag ParseID3v1Tag(QByteArrayView tail, const legacytext::Options& options) {
    if (tail.size() < kTagSize)
        return NoID3v1Tag();
    const QByteArrayView tag = tail.last(kTagSize);
    if (tag.first(3) != QByteArrayView("TAG"))
        return NoID3v1Tag();
    ID3v1Tag result;
    result.Marker = QStringLiteral("TAG");
    // The fields whole, padding included; an ID3v1.0 comment takes 30 bytes.
    const bool v10 = tag.at(125) != 0;
    QList<QByteArrayView> texts;
    for (const TextField& f : kTextFields)
        texts.append(tag.sliced(f.offset, f.field == &ID3v1Tag::Comment && v10 ? 30 : f.width));
    const legacytext::FileReading reading = legacytext::DecodeFile(texts, options);
    result.Stored.bytes = tag.toByteArray();
    result.Stored.codePage = quint16(reading.codePage);
    result.Stored.certainty = reading.certainty;
    for (size_t i = 0; i < kTextFields.size(); ++i) {
        const legacytext::Reading& r = reading.texts[qsizetype(i)];
        if (r.certainty != legacytext::Certainty::Ascii)
            result.Stored.codePages[i] = quint16(r.codePage);
        const TextField& f = kTextFields[i];
        result.*f.field =
            FixedWidth(ReadAs(result.Stored, int(i), tag.sliced(f.offset, f.width)), f.width);
    }
    result.ZeroByte = quint8(tag.at(125));
    result.Track = quint8(tag.at(126));
    result.Genre = DecodeCP936(tag.sliced(127, 1));
    return result;
}

QByteArray RenderID3v1Tag(const ID3v1Tag& tag) {
    QByteArray out;
    out.reserve(kTagSize);
    out += EncodeCP936Fixed(tag.Marker, 3);
    for (size_t i = 0; i < kTextFields.size(); ++i) {
        const TextField& f = kTextFields[i];
        out += Unchanged(tag, int(i)) ? tag.Stored.bytes.sliced(f.offset, f.width)
                                      : EncodeCP936Fixed(tag.*f.field, f.width);
    }
    out += char(tag.ZeroByte);
    out += char(tag.Track);
    const QByteArray genre = EncodeCP936(tag.Genre.left(1));
    out += genre.isEmpty() ? ' ' : genre.at(0);
    return out;
}

ID3v1Tag ReadID3v1Tag(const QString& path, std::optional<legacytext::CodePage> folder) {
    struct stat st;
    fileio::Fd fd = fileio::Open(path, O_RDONLY, 0, &st);
    const qint64 length = st.st_size;
    if (length < kTagSize)
        return NoID3v1Tag();
    legacytext::Options options = legacytext::DefaultOptions();
    options.folder = folder;
    return ParseID3v1Tag(fileio::ReadAt(fd.get(), length - kTagSize, kTagSize, path), options);
}

FileChange PlanID3v1Tag(sysio::SysIO& io, const QString& path, const ID3v1Tag& tag) {
    const QByteArray bytes = RenderID3v1Tag(tag);
    QString real;
    struct stat st;
    const sysio::File file = OpenForPlanning(io, path, &real, &st);
    const int fd = file.get();
    const qint64 length = st.st_size;
    if (length < kTagSize)
        throw StoreError(path, fileio::OpWrite(), StoreProblem::TooShortForID3v1);
    const QByteArray old = ReadRange(io, fd, length - kTagSize, kTagSize, path);
    const bool hasTag = old.startsWith("TAG");
    const QByteArray head = ReadRange(io, fd, 0, std::min<qint64>(length, 4096), path);
    RequireMp3(JudgeFileContent(fd, length, head, hasTag ? length - kTagSize : length, path), path,
               fileio::OpWrite());

    FileChange change;
    change.path = real;
    change.method = WriteMethod::InPlace;
    change.before = IdentityOf(st);
    if (hasTag)
        change.splices = DiffSplices(length - kTagSize, old, bytes);
    else
        change.splices = {Splice{length, WholeSide({}), WholeSide(bytes)}};
    return change;
}

bool WriteID3v1Tag(const QString& path, const ID3v1Tag& tag) {
    ApplyUnjournaled(PlanID3v1Tag(sysio::System(), path, tag), path, fileio::OpWrite());
    return true;
}
