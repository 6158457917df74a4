#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

#include "store/legacytext.h"

// Texts inside ID3v2 frames, by the frame's text-encoding byte:
//   0  a legacy code page: code page 936 as this program and most Chinese
//      tools write it, Latin-1, Big5, Shift-JIS, CP949 or UTF-8 as others
//      do. Given a code page (decided for the file's texts together), in
//      that one; else decided for the value alone (legacytext.h).
//   1  UTF-16 with a byte-order mark; without one, little-endian.
//   2  UTF-16 big-endian, no mark.
//   3  UTF-8.
// A value ends at its encoding's terminator: one zero byte, or two on an
// even offset for the UTF-16 encodings. Any other encoding byte is read as 0.
namespace id3v2text {

// Bytes of the terminator of encoding `enc` (1 or 2).
int TerminatorWidth(quint8 enc);

// Offset of the first terminator of `enc` in `bytes` at or after `from`
// (UTF-16: on an even distance from `from`), or -1.
qsizetype FindTerminator(quint8 enc, QByteArrayView bytes, qsizetype from = 0);

// One value, without terminator. `bigEndian` carries the byte order of an
// earlier mark in the same frame into values that have none (encoding 1).
QString Decode(quint8 enc, QByteArrayView bytes, bool* bigEndian = nullptr,
               std::optional<legacytext::CodePage> codePage = std::nullopt);

// The values of `bytes` joined with "/": a value list "A\0B\0" gives "A/B".
// Empty values are dropped ("A\0\0B" gives "A/B" too), and so is every
// value after the first kMaxValues that are not empty.
inline constexpr int kMaxValues = 256;
QString DecodeValues(quint8 enc, QByteArrayView bytes,
                     std::optional<legacytext::CodePage> codePage = std::nullopt);

// How new text is written. Gbk: ASCII, and text with a CJK character that
// code page 936 holds exactly, as encoding 0 in code page 936; anything
// else (accented Latin without CJK, which every other reader takes for
// Latin-1) in UTF-16. Unicode: ASCII as encoding 0, the rest in UTF-16.
enum class WriteMode { Gbk, Unicode };
// The mode of the process, set once at start (setup, command line).
void SetWriteMode(WriteMode mode);
WriteMode CurrentWriteMode();

// `text` as this program writes it in the process's mode, without
// terminator; the encoding goes to `enc` (0, or 1: UTF-16 with a mark).
QByteArray EncodeForWriting(const QString& text, quint8* enc);

// `text` in encoding 0 (CP936) or 1 (UTF-16LE with mark), no terminator.
QByteArray Encode(quint8 enc, const QString& text);
QByteArray Terminator(quint8 enc);

}  // namespace id3v2text
