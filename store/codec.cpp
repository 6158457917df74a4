#include "store/codec.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the codec hands iconv UTF-16LE buffers");

namespace {

// One converter per direction and thread, opened on first use. iconv_t keeps
// no state between calls for a stateless code page like CP936.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != iconv_t(-1))
            iconv_close(cd_);
    }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

iconv_t Decoder() {
    thread_local Converter c("UTF-16LE", "CP936");
    return c.get();
}

iconv_t Encoder() {
    thread_local Converter c("CP936", "UTF-16LE");
    return c.get();
}

bool IsRawByteChar(char16_t c) {
    return c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF;
}

bool AllAscii(QByteArrayView bytes) {
    for (char b : bytes)
        if (uchar(b) >= 0x80)
            return false;
    return true;
}

}  // namespace

QString DecodeCP936(QByteArrayView bytes) {
    if (AllAscii(bytes))
        return QString::fromLatin1(bytes);

    // Every input byte yields at most one UTF-16 unit.
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* dst0 = reinterpret_cast<char16_t*>(out.data());
    char* dst = reinterpret_cast<char*>(dst0);
    size_t dstLeft = size_t(bytes.size()) * 2;
    char* src = const_cast<char*>(bytes.data());
    size_t srcLeft = size_t(bytes.size());
    iconv_t cd = Decoder();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno == E2BIG)
            break;  // cannot happen: one unit per byte at most
        // EILSEQ (no such character) or EINVAL (cut at the end): keep the
        // byte as its stand-in character and go on with the next byte.
        *reinterpret_cast<char16_t*>(dst) = char16_t(kRawByteBase + uchar(*src));
        dst += 2;
        dstLeft -= 2;
        ++src;
        --srcLeft;
    }
    out.truncate(reinterpret_cast<char16_t*>(dst) - dst0);
    return out;
}

namespace {

// Encodes a run of characters that holds no raw-byte stand-ins.
void EncodeRun(const char16_t* run, qsizetype units, QByteArray& out) {
    if (units == 0)
        return;
    const qsizetype start = out.size();
    out.resize(start + units * 2 + 4);
    char* dst = out.data() + start;
    size_t dstLeft = size_t(units) * 2 + 4;
    char* src = reinterpret_cast<char*>(const_cast<char16_t*>(run));
    size_t srcLeft = size_t(units) * 2;
    iconv_t cd = Encoder();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1))
            break;
        if (errno == E2BIG)
            break;  // cannot happen: two bytes per unit at most
        // A character CP936 cannot hold becomes "?", as the platform's own
        // conversion does; a surrogate pair is one character.
        const char16_t c = *reinterpret_cast<const char16_t*>(src);
        size_t skip = 2;
        if (QChar::isHighSurrogate(c) && srcLeft >= 4 &&
            QChar::isLowSurrogate(*reinterpret_cast<const char16_t*>(src + 2)))
            skip = 4;
        *dst++ = '?';
        --dstLeft;
        src += skip;
        srcLeft -= skip;
    }
    out.truncate(dst - out.data());
}

}  // namespace

QByteArray EncodeCP936(const QString& text) {
    QByteArray out;
    out.reserve(text.size() * 2);
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    qsizetype runStart = 0;
    bool ascii = true;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = units[i];
        if (c < 0x80)
            continue;
        ascii = false;
        if (!IsRawByteChar(c))
            continue;
        EncodeRun(units + runStart, i - runStart, out);
        out.append(char(c - kRawByteBase));
        runStart = i + 1;
    }
    if (ascii)
        return text.toLatin1();
    EncodeRun(units + runStart, n - runStart, out);
    return out;
}

QByteArray EncodeCP936Fixed(const QString& text, int width) {
    QByteArray out;
    out.reserve(width);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n && out.size() < width; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            out.append(char(c.unicode()));
            continue;
        }
        qsizetype len = 1;
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            len = 2;
        const QByteArray one = EncodeCP936(text.mid(i, len));
        i += len - 1;
        // A two-byte character that does not fit whole is not cut in half.
        if (out.size() + one.size() > width)
            break;
        out.append(one);
    }
    if (out.size() < width)
        out.append(QByteArray(width - out.size(), ' '));
    return out;
}

namespace {

// Whether the encoder converts one character (one or two UTF-16 units)
// without falling back to "?".
bool HeldByCP936(const char16_t* units, qsizetype count) {
    char out[8];
    char* dst = out;
    size_t dstLeft = sizeof out;
    char* src = reinterpret_cast<char*>(const_cast<char16_t*>(units));
    size_t srcLeft = size_t(count) * 2;
    iconv_t cd = Encoder();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return iconv(cd, &src, &srcLeft, &dst, &dstLeft) != size_t(-1) && srcLeft == 0;
}

}  // namespace

QString CharacterAt(const QString& text, qsizetype index) {
    const bool pair = index + 1 < text.size() && text.at(index).isHighSurrogate() &&
                      text.at(index + 1).isLowSurrogate();
    return text.mid(index, pair ? 2 : 1);
}

qsizetype FindCharacterNotInCP936(const QString& text) {
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = units[i];
        if (c < 0x80 || IsRawByteChar(c))
            continue;
        const qsizetype length = CharacterAt(text, i).size();
        if (!HeldByCP936(units + i, length))
            return i;
        i += length - 1;
    }
    return -1;
}

int Utf8Sequence(const uchar* p, qsizetype left, char32_t* ch) {
    const uchar b = p[0];
    if (b < 0x80) {
        *ch = b;
        return 1;
    }
    int len;
    uchar lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF)
        len = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else
        return 0;
    char32_t c = b & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        if (k >= left)
            return -1;
        const uchar t = p[k];
        if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xBF))
            return 0;
        c = c << 6 | (t & 0x3F);
    }
    *ch = c;
    return len;
}
