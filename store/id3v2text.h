#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Texts inside ID3v2 frames, by the frame's text-encoding byte:
//   0  code page 936 (what this program and most Chinese tools write; other
//      tools put Latin-1 or UTF-8 there). Bytes that are not valid CP936 but
//      are valid UTF-8 are read as UTF-8; anything else decodes losslessly.
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
QString Decode(quint8 enc, QByteArrayView bytes, bool* bigEndian = nullptr);

// The values of `bytes` joined with "/": a value list "A\0B\0" gives "A/B".
// Empty values are dropped ("A\0\0B" gives "A/B" too), and so is every
// value after the first kMaxValues that are not empty.
inline constexpr int kMaxValues = 256;
QString DecodeValues(quint8 enc, QByteArrayView bytes);

// `text` as this program writes it, without terminator: in code page 936
// with encoding 0 when that holds it exactly, else in UTF-16 with a mark
// and encoding 1. The encoding goes to `enc`.
QByteArray EncodeForWriting(const QString& text, quint8* enc);

// `text` in encoding 0 (CP936) or 1 (UTF-16LE with mark), no terminator.
QByteArray Encode(quint8 enc, const QString& text);
QByteArray Terminator(quint8 enc);

}  // namespace id3v2text
