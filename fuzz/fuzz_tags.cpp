// libFuzzer target over the tag parsers, the audio reader and the CP936
// codec. The input is taken as a whole file: its head feeds the ID3v2
// parser, its last 128 bytes the ID3v1 parser, all of it the codec and the
// audio reader. Besides "no crash, no sanitizer
// report", it checks the promises the store makes about these routines and
// aborts when one is broken.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "store/codec.h"
#include "store/error.h"
#include "store/filecontent.h"
#include "store/framecatalogue.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/mpegaudio.h"

namespace {

void Check(bool ok, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

// Decoding is lossless: every byte string comes back from EncodeCP936.
void CheckCodec(QByteArrayView bytes) {
    const QString text = DecodeCP936(bytes);
    Check(EncodeCP936(text) == bytes, "EncodeCP936(DecodeCP936(x)) == x");
}

// EncodeCP936Fixed gives exactly `width` bytes: the first bytes of the full
// encoding, padded with spaces; a two-byte character that does not fit
// whole leaves a space instead of its first half.
void CheckFixedWidth(const QString& text, int width) {
    const QByteArray full = EncodeCP936(text);
    const QByteArray fixed = EncodeCP936Fixed(text, width);
    Check(fixed.size() == width, "EncodeCP936Fixed size");
    if (full.size() < width) {
        Check(fixed == full + QByteArray(width - full.size(), ' '), "EncodeCP936Fixed pads");
        return;
    }
    Check(fixed.first(width - 1) == full.first(width - 1), "EncodeCP936Fixed prefix");
    Check(fixed.back() == full.at(width - 1) || fixed.back() == ' ', "EncodeCP936Fixed last");
}

bool FieldWidthsHold(const ID3v1Tag& t) {
    return t.Marker.size() == 3 && t.SongTitle.size() == kTitleWidth &&
           t.Artist.size() == kArtistWidth && t.Album.size() == kAlbumWidth &&
           t.Year.size() == kYearWidth && t.Comment.size() == kCommentWidth && t.Genre.size() == 1;
}

void CheckID3v1(QByteArrayView file) {
    const ID3v1Tag tag = ParseID3v1Tag(file.last(std::min<qsizetype>(file.size(), 128)));
    Check(FieldWidthsHold(tag), "ID3v1Tag field widths");
    const QByteArray rendered = RenderID3v1Tag(tag);
    Check(rendered.size() == 128, "RenderID3v1Tag size");
    const bool tagged = file.size() >= 128 && file.last(128).startsWith("TAG");
    if (!tagged) {
        Check(tag == NoID3v1Tag(), "no marker gives the N/A record");
        return;
    }
    // Reading and writing back unchanged gives the same 128 bytes, whatever
    // they are (NUL padding, lone lead bytes, any genre and track byte).
    Check(rendered == file.last(128), "RenderID3v1Tag(ParseID3v1Tag(x)) == x");
    Check(GenreNumber(tag) == quint8(file.back()), "GenreNumber is the genre byte");
    Check(ParseID3v1Tag(rendered) == tag, "ID3v1 parse of the rendering");
}

void CheckID3v2(QByteArrayView file) {
    const ID3v2Contents contents = ParseID3v2Contents(file);
    const ID3v2Tag& tag = contents.tag;
    if (!file.startsWith("ID3")) {
        Check(tag == ID3v2Tag() && contents.frames.isEmpty(), "no ID3 gives the empty record");
        return;
    }
    Check(tag.Present && tag.Version.size() == 7, "ID3v2 header fields");
    // The list's reader skips payloads it does not show; it sees the same.
    Check(ParseID3v2Tag(file) == tag, "ParseID3v2Tag agrees with ParseID3v2Contents");
    if (!tag.Unwritable.isEmpty())
        return;

    // A tag the writer accepts lies within the file, and its bytes are all
    // the writer needs.
    Check(contents.extent >= 10 && contents.extent <= file.size(), "extent within the file");
    const ID3v2Contents head = ParseID3v2Contents(file.first(contents.extent), file.size());
    Check(head.tag == tag && head.frames == contents.frames, "the tag's own bytes suffice");

    // Rewritten unchanged, the tag shows the same twelve texts.
    QByteArray written;
    try {
        written = RenderID3v2Frames(tag, contents);
    } catch (const StoreError&) {
        return;  // a tag too large for the header's size field
    }
    const ID3v2Tag again = ParseID3v2Tag(RenderID3v2Header(written.size()) + written);
    ID3v2Tag expected = tag;
    expected.Version = QStringLiteral("3.0    ");
    expected.Unsynchronisation = expected.ExtendedHeader = false;
    expected.Experimental = expected.Footer = false;
    expected.Size = qint32(written.size());
    expected.ExtendedHeaderSize = 0;
    Check(again == expected, "ID3v2 texts survive a rewrite");
}

// Judging the content reads no further than the audio window and agrees
// with the frame search; a shown text never exceeds its bound.
void CheckContent(QByteArrayView file) {
    const ContentKind kind = JudgeContent(file);
    Check(kind != ContentKind::Unknown, "JudgeContent always judges");
    const qsizetype at = FindMpegFrameHeader(file);
    Check(at < 0 || ParseMpegFrameHeader(file.sliced(at)).has_value(), "found header parses");
    Check(NotMp3Reason(kind).isEmpty() == (kind == ContentKind::Mp3),
          "a refusal reason for exactly what is not MP3");
    const ID3v2Tag tag = ParseID3v2Tag(file);
    for (const FrameDescriptor& f : kFrameCatalogue)
        Check((tag.*f.field).size() <= 65536, "shown text bounded");
}

// The audio lies within the file, after the tag and before its end, starts
// with a valid header, and is audio the content judgement finds too.
void CheckAudio(QByteArrayView file) {
    const auto audio = ParseAudioProperties(file);
    if (!audio)
        return;
    Check(audio->firstFrame >= AudioStart(file) && audio->firstFrame + 4 <= audio->audioEnd &&
              audio->audioEnd <= file.size(),
          "audio within the file");
    Check(ParseMpegFrameHeader(file.sliced(audio->firstFrame)).has_value(),
          "the first frame parses");
    Check(audio->durationMs >= 0 && audio->bitrate >= 0 && audio->sampleRate > 0,
          "figures not negative");
    Check(JudgeContent(file) != ContentKind::NoAudioFrame, "audio found is judged audio");
}

void CheckSizes(QByteArrayView file) {
    if (file.size() < 4)
        return;
    const qint64 n = (quint32(quint8(file[0])) << 24 | quint32(quint8(file[1])) << 16 |
                      quint32(quint8(file[2])) << 8 | quint8(file[3])) &
                     kMaxSynchsafeSize;
    const auto bytes = EncodeSynchsafeSize(n);
    Check(std::all_of(bytes.begin(), bytes.end(), [](quint8 b) { return b < 0x80; }),
          "synchsafe bytes below 128");
    Check(DecodeSizeBytes(bytes.data()) == n, "DecodeSizeBytes(EncodeSynchsafeSize(n)) == n");
}

// Any UTF-16 text, including unpaired surrogates and characters CP936 lacks,
// for the encoder side.
QString TextFrom(QByteArrayView bytes) {
    return QString(reinterpret_cast<const QChar*>(bytes.data()), bytes.size() / 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView file(reinterpret_cast<const char*>(data), qsizetype(size));
    CheckCodec(file);
    CheckID3v1(file);
    CheckID3v2(file);
    CheckContent(file);
    CheckAudio(file);
    CheckSizes(file);
    const QString text = TextFrom(file);
    for (int width : {1, 4, kCommentWidth, kTitleWidth}) CheckFixedWidth(text, width);
    CheckFixedWidth(DecodeCP936(file), kTitleWidth);
    return 0;
}
