#include "batch/textencoding.h"

#include "batch/textsettings.h"
#include "store/framecatalogue.h"

using legacytext::Certainty;
using legacytext::CodePage;

namespace {

// Windows-1252's characters for the bytes 0x80..0x9F; 0 where it has none.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte a character of a Latin-1 or Windows-1252 reading stood for; -1
// for a character neither reading gives.
int ByteOf(char16_t u) {
    if (u <= 0xFF)
        return u;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == u)
            return 0x80 + i;
    return -1;
}

bool HasHan(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF);
    });
}

bool BeyondAscii(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x80; });
}

}  // namespace

std::optional<legacytext::Reading> MojibakeRepair(const QString& text) {
    QByteArray bytes;
    bool high = false;
    for (const QChar c : text) {
        const int byte = ByteOf(c.unicode());
        if (byte < 0)
            return std::nullopt;
        high = high || byte >= 0x80;
        bytes.append(char(byte));
    }
    if (!high)
        return std::nullopt;
    legacytext::Options options;  // decided from the bytes, whatever the user fixed
    legacytext::Reading reading = legacytext::Decode(bytes, options);
    const bool chinese = reading.codePage == CodePage::Gbk || reading.codePage == CodePage::Big5 ||
                         reading.codePage == CodePage::Utf8;
    // A close call between Chinese code pages (陈奕迅 reads in both 936 and
    // Big5) is still Chinese; Latin-1 text loses to them only when it reads
    // as far less plausible, which genuine Western text never does.
    if (!chinese || reading.certainty == Certainty::Unreadable || !HasHan(reading.text))
        return std::nullopt;
    return reading;
}

QString TextEncodingCellText(const FileRecords& records) {
    const ID3v2Tag& v2 = records.v2;
    const ID3v1Tag& v1 = records.v1;
    const QString garbled = QStringLiteral("乱码?");
    if (v2.Legacy.certainty == Certainty::Unreadable ||
        v1.Stored.certainty == Certainty::Unreadable)
        return garbled;
    bool unicode = false;
    for (int i = 0; i < kFrameCount; ++i) {
        const QString& text = v2.*kFrameCatalogue[size_t(i)].field;
        if (!BeyondAscii(text))
            continue;
        const auto legacy = v2.Legacy.of(i);
        // Text read from legacy bytes was decided by the decoder, which
        // MojibakeRepair would only repeat; a Latin-1 reading is its verdict.
        if (!legacy && MojibakeRepair(text))
            return garbled;
        unicode = unicode || !legacy;
    }
    if (v2.Legacy.certainty != Certainty::Ascii)
        if (const auto cp = legacytext::CodePageOf(v2.Legacy.codePage))
            return CodePageShortName(*cp);
    if (unicode)
        return QStringLiteral("Unicode");
    if (HasID3v1Tag(v1) && v1.Stored.certainty != Certainty::Ascii)
        if (const auto cp = legacytext::CodePageOf(v1.Stored.codePage))
            return CodePageShortName(*cp);
    return {};
}
