#include "store/id3v2text.h"

#include <QStringList>
#include <algorithm>
#include <atomic>

#include "store/codec.h"

namespace id3v2text {

namespace {

bool IsUtf16(quint8 enc) {
    return enc == 1 || enc == 2;
}

QString DecodeUtf16(QByteArrayView bytes, bool bigEndian) {
    const qsizetype units = bytes.size() / 2;
    QString out(units, Qt::Uninitialized);
    for (qsizetype i = 0; i < units; ++i) {
        const quint8 a = quint8(bytes[2 * i]), b = quint8(bytes[2 * i + 1]);
        out[i] = QChar(bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a));
    }
    return out;
}

}  // namespace

int TerminatorWidth(quint8 enc) {
    return IsUtf16(enc) ? 2 : 1;
}

qsizetype FindTerminator(quint8 enc, QByteArrayView bytes, qsizetype from) {
    if (!IsUtf16(enc)) {
        const qsizetype at = bytes.indexOf('\0', from);
        return at;
    }
    for (qsizetype i = from; i + 1 < bytes.size(); i += 2)
        if (bytes[i] == 0 && bytes[i + 1] == 0)
            return i;
    return -1;
}

QString Decode(quint8 enc, QByteArrayView bytes, bool* bigEndian,
               std::optional<legacytext::CodePage> codePage) {
    switch (enc) {
        case 1: {
            bool be = bigEndian ? *bigEndian : false;
            if (bytes.size() >= 2) {
                const quint8 a = quint8(bytes[0]), b = quint8(bytes[1]);
                if ((a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF)) {
                    be = a == 0xFE;
                    bytes = bytes.sliced(2);
                }
            }
            if (bigEndian)
                *bigEndian = be;
            return DecodeUtf16(bytes, be);
        }
        case 2:
            return DecodeUtf16(bytes, true);
        case 3:
            return QString::fromUtf8(bytes);
        default:
            if (codePage)
                return legacytext::DecodeAs(*codePage, bytes);
            return legacytext::Decode(bytes, legacytext::DefaultOptions()).text;
    }
}

QString DecodeValues(quint8 enc, QByteArrayView bytes,
                     std::optional<legacytext::CodePage> codePage) {
    // Most frames hold one value, with or without its terminator.
    const qsizetype first = FindTerminator(enc, bytes);
    if (first < 0)
        return Decode(enc, bytes, nullptr, codePage);
    if (std::all_of(bytes.begin() + first, bytes.end(), [](char c) { return c == 0; }))
        return Decode(enc, bytes.first(first), nullptr, codePage);
    // Empty values are left out: a run of zero bytes (padding that some
    // tools count into the frame, or a crafted frame of millions of them)
    // adds nothing to the text.
    QStringList values;
    bool bigEndian = false;
    qsizetype at = 0;
    while (at < bytes.size() && values.size() < kMaxValues) {
        const qsizetype end = FindTerminator(enc, bytes, at);
        const qsizetype stop = end < 0 ? bytes.size() : end;
        QString value = Decode(enc, bytes.sliced(at, stop - at), &bigEndian, codePage);
        if (!value.isEmpty())
            values << std::move(value);
        if (end < 0)
            break;
        at = end + TerminatorWidth(enc);
    }
    return values.join(QLatin1Char('/'));
}

namespace {

std::atomic<WriteMode> writeMode{WriteMode::Gbk};

// Characters only an East Asian text holds: ideographs, kana, hangul, CJK
// punctuation and full-width forms; and the stand-ins of bytes read from
// code page 936, which only it writes back.
bool IsEastAsian(char16_t u) {
    return (u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) ||
           (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) ||
           (u >= 0xFF00 && u <= 0xFFEF) || (u >= kRawByteBase + 0x80 && u <= kRawByteBase + 0xFF);
}

}  // namespace

void SetWriteMode(WriteMode mode) {
    writeMode.store(mode);
}

WriteMode CurrentWriteMode() {
    return writeMode.load();
}

QByteArray EncodeForWriting(const QString& text, quint8* enc) {
    *enc = 0;
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLatin1();
    const bool gbk =
        CurrentWriteMode() == WriteMode::Gbk &&
        std::any_of(text.begin(), text.end(), [](QChar c) { return IsEastAsian(c.unicode()); });
    QByteArray bytes = gbk ? EncodeCP936(text) : QByteArray();
    if (gbk && DecodeCP936(bytes) == text)
        return bytes;
    *enc = 1;
    return Encode(1, text);
}

QByteArray Encode(quint8 enc, const QString& text) {
    if (enc != 1)
        return EncodeCP936(text);
    QByteArray out("\xFF\xFE", 2);
    out.reserve(2 + text.size() * 2);
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

QByteArray Terminator(quint8 enc) {
    return QByteArray(TerminatorWidth(enc), '\0');
}

}  // namespace id3v2text
