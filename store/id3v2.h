#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <mutex>
#include <optional>

#include "store/filechange.h"
#include "store/legacytext.h"
#include "store/sysio.h"

// The ID3v2 tag at the start of an MP3 file. The record holds the header
// and the text frames this program shows and edits (kFrameCatalogue); the
// writer keeps every other frame of the file's tag as it finds it.
//
// Versions 2.2, 2.3 and 2.4 are read. Texts honour the frame's encoding byte
// (see id3v2text.h); a value list shows joined with "/". Frame sizes are
// read as the version has them (v2.3: plain 32-bit numbers, v2.4: 7-bit
// groups); where a tag only walks cleanly with the other reading, as in tags
// of this program's earlier versions (v2.3 with 7-bit groups) or of players
// that wrote v2.4 with plain numbers, that reading is taken.

// The number of text frames the record holds (the entries of kFrameCatalogue).
inline constexpr int kFrameCount = 15;
// The first frames in writing order, written even when empty.
inline constexpr int kAlwaysWrittenFrames = 12;
// The language a new lyrics frame gets: ID3's code for an unknown one, as
// the program cannot tell what language a text is in.
inline constexpr char kDefaultLyricsLanguage[] = "XXX";
// How the legacy texts of a record were read. It never makes two records
// differ: a record is its texts, however they were decoded.
struct LegacyReading {
    // Per text of kFrameCatalogue, the code page (legacytext::CodePage as a
    // number) of a text stored with encoding byte 0 that holds more than
    // ASCII; 0 for any other.
    std::array<quint16, kFrameCount> codePages{};
    // The file's decision, for a folder's vote (legacytext::FolderVote).
    quint16 codePage = 0;
    legacytext::Certainty certainty = legacytext::Certainty::Ascii;
    // Per text of kFrameCatalogue: write it afresh even when it is unchanged
    // (a conversion of stored legacy bytes to how this program writes text).
    std::array<bool, kFrameCount> rewrite{};

    std::optional<legacytext::CodePage> of(int index) const {
        return legacytext::CodePageOf(codePages[size_t(index)]);
    }
    legacytext::FileReading file() const {
        legacytext::FileReading reading;
        reading.codePage = legacytext::CodePageOf(codePage).value_or(legacytext::CodePage::Gbk);
        reading.certainty = certainty;
        return reading;
    }
    bool operator==(const LegacyReading&) const { return true; }
};

struct ID3v2Tag {
    bool Present = false;
    QString Version;  // 7 characters: "3.0" padded with spaces; empty when absent
    bool Unsynchronisation = false;
    bool ExtendedHeader = false;
    bool Experimental = false;
    bool Footer = false;
    qint32 Size = 0;                // tag size without the 10-byte header (and footer)
    qint32 ExtendedHeaderSize = 0;  // as stored; 0 without an extended header
    // Empty when the tag can be rewritten; otherwise why not (its end cannot
    // be told, or part of it cannot be carried over). Such a tag is shown as
    // far as it can be read, and the writer refuses the file.
    QString Unwritable;
    // The texts of the frames of kFrameCatalogue (framecatalogue.h), named
    // after their frame IDs.
    QString TRCK, TENC, WXXX, TCOP, TOPE, TCOM, COMM, TCON, TYER, TALB, TPE1, TIT2;
    QString TPE2, TPOS, USLT;  // album artist, disc number, lyrics
    LegacyReading Legacy;

    bool operator==(const ID3v2Tag&) const = default;
};

// One frame of a tag, as stored: the ID (three letters in a v2.2 tag), the
// two flag bytes (none in v2.2) and the payload. Tag-level
// unsynchronisation is already undone; a v2.4 frame's own
// unsynchronisation and data-length indicator are still in place.
struct ID3v2Frame {
    QByteArray id;
    quint16 flags = 0;
    QByteArray payload;

    bool operator==(const ID3v2Frame&) const = default;
};

// Everything the writer needs of a file's current tag.
struct ID3v2Contents {
    ID3v2Tag tag;
    int major = 0;             // the tag's major version (2, 3, 4); 0 without a tag
    qint64 extent = 0;         // bytes from the start of the file to the end of the
                               // tag: header, extended header, frames, padding, footer
    QList<ID3v2Frame> frames;  // every frame found, in the tag's order
    // Which frame holds each of the texts, by the index of
    // kFrameCatalogue (framecatalogue.h); -1 when the tag has no frame of that ID. For the
    // others the last one wins. The comment and link are the first frame
    // with an empty description; failing that, the first with a description;
    // a comment whose description names machine data (iTunNORM and the like)
    // comes last and its text is never shown (the field is empty).
    std::array<int, kFrameCount> shown;
    // The comment or link shown has a description (there was none without):
    // it is not the frame the record's text stands for, and the writer keeps
    // it, adding a frame of the record's own only for a changed text.
    std::array<bool, kFrameCount> described{};
    // Frames that stand for one of the texts but are not shown (an earlier
    // duplicate); the writer keeps them with an unchanged text, else drops them.
    QList<int> duplicates;
};

// What a tag rewrite does with the cover (id3v2picture.h, CoverDrops).
struct CoverEdit {
    enum class Action { Keep, Set, Remove };
    Action action = Action::Keep;
    QByteArray image;  // Set: the image, and its MIME type
    QByteArray mime;
};

// Decodes four size bytes as 7-bit groups (each byte taken whole).
qint32 DecodeSizeBytes(const quint8* b);

// Parses the tag at the start of `file`, the whole file. Never fails:
// damaged tags read as far as they go.
ID3v2Tag ParseID3v2Tag(QByteArrayView file);
// The same with every frame's payload. `file` may be only the first bytes of
// a file of `fileLength` bytes, as long as it holds the whole tag.
ID3v2Contents ParseID3v2Contents(QByteArrayView file, qint64 fileLength = -1);

// The text frame `frame` shows for field `index` of kFrameCatalogue, its
// legacy text read in `codePage`. The writer asks it to tell a text left as
// it was read, whichever code page the reading chose.
QString ShownFieldText(int index, const ID3v2Frame& frame, int major, bool unsync,
                       std::optional<legacytext::CodePage> codePage);

// Reads the tag of the file at `path`. Throws StoreError only when the file
// cannot be opened or read. Frames that hold none of the texts are
// skipped, not read, so large pictures cost nothing.
ID3v2Tag ReadID3v2Tag(const QString& path);
// The same from an open file of `length` bytes whose first bytes are `head`.
// Legacy texts (encoding byte 0) are decided together with the default
// options (legacytext::DefaultOptions); `folder` is the code page of the
// folder's other files, which settles a close call. With a `cover` to
// fill, also the file's cover as far as `coverReading` asks
// (id3v2picture.h).
struct CoverPicture;
enum class CoverReading;
ID3v2Tag ReadID3v2TagFrom(int fd, qint64 length, QByteArray head, const QString& path,
                          std::optional<legacytext::CodePage> folder = std::nullopt,
                          CoverReading coverReading = {}, CoverPicture* cover = nullptr);
// The tag of the file at `path` with the frames that hold the texts
// (their payloads cut as the reader shows them); other frames are skipped.
ID3v2Contents ReadID3v2ShownFrames(const QString& path,
                                   std::optional<legacytext::CodePage> folder = std::nullopt);

// ---- Writing: always version 2.3 ----
//
// The tag header's size is four 7-bit groups; frame sizes are plain 32-bit
// numbers, as v2.3 has them (below 128 both readings are the same bytes).

// The largest size the four 7-bit groups can hold is 2^28 - 1.
inline constexpr qint32 kMaxSynchsafeSize = (1 << 28) - 1;

// n (0 <= n < 2^28) as four bytes below 128, most significant first.
// Throws std::out_of_range for a size it cannot encode.
std::array<quint8, 4> EncodeSynchsafeSize(qint64 n);

// The catalogue's frames in its writing order (framecatalogue.h), written
// afresh: a text that code page 936 holds in CP936 with encoding byte 0, any
// other in UTF-16 with encoding byte 1; the comment with three zero
// language bytes and an empty description; the lyrics with the language
// kDefaultLyricsLanguage and an empty description; the link with an empty
// description, then the URL. The twelve frames files of this program always
// carried are written also when empty; the frames after them
// (kAlwaysWrittenFrames) only with a text. Throws StoreError when the whole
// would need a size of 2^28 or more.
QByteArray RenderID3v2Frames(const ID3v2Tag& tag);
// The frames of the tag `tag` gives a file whose current tag is `old`: the
// frames as above, except that a text the record leaves as it was read
// keeps its frames as stored (duplicates included) and adds none where
// `old` has a frame of that ID, also one with a description; a new comment
// or lyrics text keeps the old frame's language; a frame after the twelve
// whose text is cleared is dropped. Then every other frame of `old`, as
// stored, or converted to v2.3 from a v2.2 or v2.4 tag. Frames v2.3 cannot
// carry are left out. `cover` replaces or removes the cover (CoverDrops):
// a new cover follows the text frames.
QByteArray RenderID3v2Frames(const ID3v2Tag& tag, const ID3v2Contents& old,
                             const CoverEdit& cover = {});
// The 10-byte header "ID3" 3 0 0 + size of `framesLength`.
QByteArray RenderID3v2Header(qint64 framesLength);

// Writes the frames of `tag` into the scratch file `tempv2` in the program's
// folder (replacing it) and returns their total length. The file is left in
// place; nothing reads it back. Throws StoreError when it cannot be written.
qint64 WriteID3v2Frames(const ID3v2Tag& tag);

// Padding left after the frames when a tag is rewritten beside the file:
// 1% of the file, at least 2 KiB and at most 64 KiB. An edit of a few text
// frames changes tens to hundreds of bytes, so 2 KiB lets many later edits
// of a small file fit in place; 1% of a song of a few megabytes leaves room
// for longer comments or a small picture at a cost no listener notices; the
// cap keeps huge files from carrying dead space, and a picture larger than
// that would not have fitted anyway.
inline constexpr qint64 kMinID3v2Padding = 2048;
inline constexpr qint64 kMaxID3v2Padding = 65536;
qint64 ID3v2PaddingFor(qint64 fileLength);

// The change that gives the file at `path` a new tag built from `tag` and
// the file's current tag (frames as RenderID3v2Frames), without writing
// anything. When the frames fit the old tag's space (header, frames,
// padding, footer), the region keeps its length and is written in place:
// a v2.3 header over the whole region, the frames, zero padding; no audio
// byte is touched, and only the runs that change are in the splices. Else
// (also for a file without a tag) the file is rewritten beside itself:
// the new header, the frames and ID3v2PaddingFor(new length) zero bytes
// replace the old tag; every byte after it (audio, APE tag, ID3v1 tag)
// stays. No splice when the file already holds exactly those bytes.
//
// `tag.Present` and `tag.Size` must still describe the tag the file holds,
// else the file changed since it was read and is refused. A file the
// process may not write, one that does not hold MPEG audio
// (filecontent.h), and one whose tag's end cannot be told
// (ID3v2Tag::Unwritable) are refused too: each a StoreError. The file is
// read through `io`; a symbolic link is resolved, so the change names the
// real file. A copy of the frames goes to `tempv2` as WriteID3v2Frames
// does, as far as the program's folder allows: failing to write it fails
// nothing.
//
// A batch passes `scratch`: the copy is then written once, when the batch's
// ScratchFrames goes, instead of for every file.
class ScratchFrames;
FileChange PlanID3v2Tag(sysio::SysIO& io, const QString& path, const ID3v2Tag& tag,
                        const CoverEdit& cover = {}, ScratchFrames* scratch = nullptr);

// The same for an edit of the tag the file holds now: `build` gets the tag
// as this very read found it (every frame, as ParseID3v2Contents gives it)
// and returns the record to write. The file is opened and read once, for
// both; `build` may throw StoreError, which refuses the file.
using ID3v2Builder = std::function<ID3v2Tag(const ID3v2Contents& present)>;
FileChange PlanID3v2Change(sysio::SysIO& io, const QString& path, const ID3v2Builder& build,
                           const CoverEdit& cover = {}, ScratchFrames* scratch = nullptr);

// The scratch copy of one batch: each plan keeps its frames here and the
// last ones kept go to `tempv2` when the object is destroyed (as far as the
// program's folder allows). Plans may keep frames from several threads, so
// with planning on two threads they are those of one of the last files.
class ScratchFrames {
  public:
    ScratchFrames() = default;
    ScratchFrames(const ScratchFrames&) = delete;
    ScratchFrames& operator=(const ScratchFrames&) = delete;
    ~ScratchFrames();
    void keep(QByteArray frames);

  private:
    std::mutex mutex_;
    std::optional<QByteArray> last_;
};

// Plans and applies the change at once, without a journal (a single file,
// as tests and tools write it; batches go through the journal). On any
// failure the file is as it was and StoreError is thrown. Returns true.
bool WriteID3v2Tag(const QString& path, const ID3v2Tag& tag);
