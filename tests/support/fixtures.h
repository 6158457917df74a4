#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Byte builders for test files, written independently of the store's own
// renderers so that tests check the store against a second opinion.

QByteArray Gbk(const QString& text);  // CP936 bytes of text (through iconv)

// A 128-byte ID3v1.1 tag; each text is given as raw bytes and padded with
// `pad` to its width.
QByteArray V1Bytes(const QByteArray& title, const QByteArray& artist = {},
                   const QByteArray& album = {}, const QByteArray& year = {},
                   const QByteArray& comment = {}, quint8 track = 0, quint8 genre = 0,
                   char pad = ' ');

// A 128-byte tag in the older ID3v1.0 layout: the comment takes 30 bytes
// (offsets 97..126), no track byte.
QByteArray V10Bytes(const QByteArray& title, const QByteArray& artist, const QByteArray& album,
                    const QByteArray& year, const QByteArray& comment, quint8 genre);

// A frame: id, four 7-bit-group size bytes of payload.size(), flags 00 00, payload.
QByteArray V2Frame(const QByteArray& id, const QByteArray& payload);
// A text frame in UTF-16 with a byte-order mark (encoding 1).
QByteArray Utf16Text(const QByteArray& id, const QString& text);
// A text frame with encoding byte 0 followed by `text`.
QByteArray V2Text(const QByteArray& id, const QByteArray& text);
// A frame whose size is a plain 32-bit number, as v2.3 has it, with the two
// flag bytes `flags`.
QByteArray V2PlainFrame(const QByteArray& id, const QByteArray& payload, quint16 flags = 0);
// A v2.2 frame: three-letter id, three-byte plain size, payload.
QByteArray V22Frame(const QByteArray& id, const QByteArray& payload);
// A tag of major version `major` with header flags `flags` around `body`
// (extended header, frames, padding as the caller lays them out).
QByteArray V2TagOf(quint8 major, quint8 flags, const QByteArray& body);
// A version 3.0 tag: header with size frames.size() (+ padding), frames, padding zeros.
QByteArray V2Tag(const QByteArray& frames, int padding = 0);

// The start of a PNG image: signature, an IHDR chunk of `width`×`height`,
// then `tail`. Only its header is valid: enough to be told, not decoded.
QByteArray PngStart(quint32 width, quint32 height, const QByteArray& tail = QByteArray(100, 'z'));
// A JPEG image's segments: SOI, a JFIF APP0, an APP1 of `app1` bytes of
// payload, DQT, the frame header `sof` (C0 baseline, C2 progressive) of
// `width`×`height`, a scan of filler and EOI. Not decodable.
QByteArray JpegStart(int width, int height, int app1 = 16, quint8 sof = 0xC0);
// An APIC payload: encoding 0, MIME type, picture type, description, image.
QByteArray ApicPayload(const QByteArray& mime, int type, const QByteArray& image,
                       const QByteArray& description = {});

// `n` bytes of stand-in audio (a frame-sync looking pattern).
QByteArray Audio(int n);

// `count` MPEG-1 layer III frames of 128 kbit/s at 44.1 kHz: the header
// FF FB 90 64 and 413 zero bytes each (417 bytes a frame).
QByteArray MpegFrames(int count);

// A file of another format that a .mp3 name may hide: its start bytes,
// then filler without an MPEG frame header, and the words the program uses
// for the format ("PNG 图片").
struct ForeignFile {
    const char* label;  // for failure messages
    QByteArray bytes;
    QString format;
};
const QList<ForeignFile>& ForeignFiles();
// Lines of plain text, no byte of which is FF.
QByteArray TextFile(int lines = 40);

// Sets or clears the immutable flag (chattr +i). False when the file
// system or the process's capabilities do not allow it.
bool SetImmutable(const QString& path, bool immutable);

void WriteBytes(const QString& path, const QByteArray& bytes);
QByteArray ReadBytes(const QString& path);

// Clears or sets the owner write bit.
void SetReadOnly(const QString& path, bool readOnly);

// Files named by raw bytes, made and looked at with plain system calls, so
// that tests of exact names do not lean on the program's own conversion.
// kGbkSunny is 晴天.mp3 as code page 936 writes it (not UTF-8); Qt's lossy
// decoding shows it as four U+FFFD, the literal name kFffdName.
inline const QByteArray kGbkSunny = QByteArray("\xC7\xE7\xCC\xEC.mp3");
inline const QByteArray kFffdName =
    QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD.mp3");
void WriteNative(const QByteArray& path, const QByteArray& bytes);
QByteArray ReadNative(const QByteArray& path);  // empty when missing
bool ExistsNative(const QByteArray& path);      // lstat: links count as they are
void MakeFolderNative(const QByteArray& path);
// Removes `path` and everything below it; QTemporaryDir cannot remove names
// that are not UTF-8.
void RemoveTreeNative(const QByteArray& path);
// The entries of a folder, "." and ".." left out, sorted bytewise.
QList<QByteArray> ListNative(const QByteArray& folder);
// A QTemporaryDir's (UTF-8) path as bytes.
QByteArray Native(const QString& path);
