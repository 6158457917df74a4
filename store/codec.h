#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Code page 936 (GBK, with 0x80 as the euro sign) <-> Unicode.
//
// Decoding never fails and is lossless: a byte that does not start a valid
// CP936 character (a lone lead byte, 0xFF, an unassigned pair) becomes the
// private-use character U+F700 + byte, which encodes back to that byte. So a
// field that is read and written back unchanged keeps its bytes, and every
// single byte value 0..255 survives DecodeCP936 -> EncodeCP936.
//
// Encoding maps characters that CP936 cannot represent to "?", as the
// platform's own conversion does.
QString DecodeCP936(QByteArrayView bytes);
QByteArray EncodeCP936(const QString& text);

// The first `width` bytes of the CP936 form of `text`, padded with spaces to
// exactly `width`. A two-byte character cut in half becomes a space.
QByteArray EncodeCP936Fixed(const QString& text, int width);

// The index of the first character of `text` that code page 936 cannot
// hold (EncodeCP936 would write "?" for it), or -1 when it holds them all. A
// surrogate pair is one character; a lone surrogate is never held; the
// stand-in of an undecodable byte is held (it is that byte).
qsizetype FindCharacterNotInCP936(const QString& text);
// The character that starts at `index`: one UTF-16 unit, or a surrogate pair.
QString CharacterAt(const QString& text, qsizetype index);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
// Returns the length of the sequence at `p` (`left` bytes at most) and its
// character in `ch`; 0 when it is invalid, or -1 when it is a valid
// beginning cut off by the end of the bytes.
int Utf8Sequence(const uchar* p, qsizetype left, char32_t* ch);

// The private-use character that stands for an undecodable byte.
inline constexpr char16_t kRawByteBase = 0xF700;
