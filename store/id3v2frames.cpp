#include "store/id3v2frames.h"

#include <QHash>

#include "store/framecatalogue.h"
#include "store/id3v2text.h"

namespace id3v2frames {

namespace {

// v2.4 frame format flags, and their v2.3 counterparts.
constexpr quint16 k24Grouping = 0x0040, k24Compression = 0x0008, k24Encryption = 0x0004,
                  k24Unsync = 0x0002, k24LengthIndicator = 0x0001;
constexpr quint16 k23Compression = 0x0080, k23Encryption = 0x0040, k23Grouping = 0x0020;

quint32 Synchsafe(QByteArrayView b) {
    return quint32(quint8(b[0]) & 0x7F) << 21 | quint32(quint8(b[1]) & 0x7F) << 14 |
           quint32(quint8(b[2]) & 0x7F) << 7 | quint32(quint8(b[3]) & 0x7F);
}

QByteArray Plain32(quint32 n) {
    const char b[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    return QByteArray(b, 4);
}

// A v2.4 frame split into its extras and its data.
struct Parts24 {
    bool ok = true;
    int group = -1;
    int method = -1;
    qint64 dataLength = -1;
    QByteArray data;
};

Parts24 Split24(const ID3v2Frame& frame, bool tagUnsync) {
    Parts24 p;
    const QByteArray body =
        (frame.flags & k24Unsync) || tagUnsync ? Resynchronise(frame.payload) : frame.payload;
    qsizetype at = 0;
    auto take = [&](qsizetype n) -> QByteArrayView {
        if (at + n > body.size()) {
            p.ok = false;
            return {};
        }
        const QByteArrayView v = QByteArrayView(body).sliced(at, n);
        at += n;
        return v;
    };
    if (frame.flags & k24Grouping) {
        const QByteArrayView v = take(1);
        if (p.ok)
            p.group = quint8(v[0]);
    }
    if (frame.flags & k24Encryption) {
        const QByteArrayView v = take(1);
        if (p.ok)
            p.method = quint8(v[0]);
    }
    if (frame.flags & k24LengthIndicator) {
        const QByteArrayView v = take(4);
        if (p.ok)
            p.dataLength = Synchsafe(v);
    }
    if (p.ok)
        p.data = body.mid(at);
    return p;
}

// ---- Re-encoding texts inside a frame ----
//
// A layout names the parts of a frame's content in order:
//   e  the encoding byte          1 3 4 8  that many bytes as they are
//   l  a Latin-1 text and its terminator
//   s  a text in the frame's encoding and its terminator
//   S  the rest as texts in the frame's encoding
//   B  the rest as bytes          (  marks where the rest repeats (SYLT)
const QHash<QByteArray, QByteArray>& Layouts() {
    static const QHash<QByteArray, QByteArray> layouts = {
        {"TXXX", "esS"},      {"WXXX", "esB"},       {"COMM", "e3sS"}, {"USLT", "e3sS"},
        {"APIC", "el1sB"},    {"GEOB", "elssB"},     {"USER", "e3S"},  {"OWNE", "el8S"},
        {"SYLT", "e311s(s4"}, {"COMR", "el8l1sslB"}, {"IPLS", "eS"},
    };
    return layouts;
}

QByteArray LayoutOf(QByteArrayView id) {
    const auto it = Layouts().find(id.toByteArray());
    if (it != Layouts().end())
        return *it;
    if (id.startsWith('T'))
        return "eS";
    return {};
}

// Re-encodes every text of `content` (laid out as `layout`) from its
// encoding into UTF-16 with a mark. Texts in the rest are kept apart by
// terminators as before; `joinValues` joins them with "/" instead, as v2.3
// text frames hold one value.
QByteArray ToUtf16(QByteArrayView content, const QByteArray& layout, bool joinValues) {
    if (content.isEmpty())
        return content.toByteArray();
    const quint8 enc = quint8(content[0]);
    QByteArray out;
    qsizetype at = 0;
    qsizetype repeat = -1;
    auto encoded = [&](QByteArrayView bytes) {
        return id3v2text::Encode(1, id3v2text::Decode(enc, bytes));
    };
    for (qsizetype i = 0; i < layout.size(); ++i) {
        const char part = layout[i];
        if (part == '(') {
            repeat = i;
            continue;
        }
        if (at >= content.size() && part != 'e')
            break;
        switch (part) {
            case 'e':
                out.append('\x01');
                at = 1;
                break;
            case '1':
            case '3':
            case '4':
            case '8': {
                const qsizetype n = std::min<qsizetype>(part - '0', content.size() - at);
                out.append(content.sliced(at, n));
                at += n;
                break;
            }
            case 'l': {
                const qsizetype end = content.indexOf('\0', at);
                const qsizetype stop = end < 0 ? content.size() : end + 1;
                out.append(content.sliced(at, stop - at));
                at = stop;
                break;
            }
            case 's': {
                const qsizetype end = id3v2text::FindTerminator(enc, content, at);
                const qsizetype stop = end < 0 ? content.size() : end;
                out.append(encoded(content.sliced(at, stop - at)));
                if (end >= 0)
                    out.append("\0\0", 2);
                at = end < 0 ? content.size() : end + id3v2text::TerminatorWidth(enc);
                break;
            }
            case 'S': {
                const QByteArrayView rest = content.sliced(at);
                if (joinValues) {
                    out.append(id3v2text::Encode(1, id3v2text::DecodeValues(enc, rest)));
                } else {
                    qsizetype from = 0;
                    while (from < rest.size()) {
                        const qsizetype end = id3v2text::FindTerminator(enc, rest, from);
                        const qsizetype stop = end < 0 ? rest.size() : end;
                        out.append(encoded(rest.sliced(from, stop - from)));
                        if (end < 0)
                            break;
                        out.append("\0\0", 2);
                        from = end + id3v2text::TerminatorWidth(enc);
                    }
                }
                at = content.size();
                break;
            }
            case 'B':
                out.append(content.sliced(at));
                at = content.size();
                break;
        }
        if (i + 1 == layout.size() && repeat >= 0 && at < content.size())
            i = repeat;  // the loop's ++i lands on the part after '('
    }
    return out;
}

bool HasSeveralValues(QByteArrayView content) {
    if (content.isEmpty())
        return false;
    const quint8 enc = quint8(content[0]);
    const QByteArrayView body = content.sliced(1);
    const qsizetype end = id3v2text::FindTerminator(enc, body);
    return end >= 0 && end + id3v2text::TerminatorWidth(enc) < body.size() &&
           !std::all_of(body.begin() + end, body.end(), [](char c) { return c == 0; });
}

// The content of a v2.4 frame in the form v2.3 expects: texts in encodings
// 0 or 1, one value per text frame.
QByteArray Content24To23(QByteArrayView id, const QByteArray& content) {
    if (content.isEmpty())
        return content;
    const QByteArray layout = LayoutOf(id);
    if (layout.isEmpty())
        return content;
    const quint8 enc = quint8(content[0]);
    const bool textFrame = layout == "eS" && id != "IPLS";
    const bool join = textFrame && HasSeveralValues(content);
    if (enc == 2 || enc == 3)
        return ToUtf16(content, layout, join);
    if (!join)
        return content;
    if (enc == 1)
        return ToUtf16(content, layout, true);
    // Code page 936 and the like: put "/" between the values byte by byte,
    // unless the joined bytes would read differently from the values (one
    // value in UTF-8, another in CP936): then as UTF-16.
    QByteArray body = content.mid(1);
    while (body.endsWith('\0')) body.chop(1);
    body.replace('\0', '/');
    if (id3v2text::Decode(0, body) != id3v2text::DecodeValues(0, QByteArrayView(content).sliced(1)))
        return ToUtf16(content, layout, true);
    return content.first(1) + body;
}

ID3v2Frame TextFrame(const char* id, quint8 enc, const QString& text, quint16 flags) {
    ID3v2Frame f;
    f.id = id;
    f.flags = flags;
    f.payload = QByteArray(1, char(enc)) + id3v2text::Encode(enc, text);
    return f;
}

QString ImageMime(QByteArrayView format) {
    const QString f = QString::fromLatin1(format).toLower();
    if (f == QLatin1String("jpg"))
        return QStringLiteral("image/jpeg");
    if (f == QLatin1String("-->"))
        return f;
    return QStringLiteral("image/") + f;
}

// v2.2 PIC (image format in three letters) as v2.3 APIC (a MIME type).
QByteArray PictureTo23(const QByteArray& payload) {
    if (payload.size() < 4)
        return payload;
    return payload.first(1) + ImageMime(payload.sliced(1, 3)).toLatin1() + '\0' + payload.mid(4);
}

}  // namespace

QByteArray Resynchronise(QByteArrayView bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out.append(bytes[i]);
        if (quint8(bytes[i]) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0)
            ++i;
    }
    return out;
}

QByteArray V23IdOfV22(QByteArrayView id) {
    if (const QByteArrayView shown = FrameIdOfV22(id); !shown.isEmpty())
        return shown.toByteArray();
    // The frames this program does not show.
    static const QHash<QByteArray, QByteArray> ids = {
        {"BUF", "RBUF"},
        {"CNT", "PCNT"},
        {"CRA", "AENC"},
        {"ETC", "ETCO"},
        {"EQU", "EQUA"},
        {"GEO", "GEOB"},
        {"IPL", "IPLS"},
        {"MCI", "MCDI"},
        {"MLL", "MLLT"},
        {"PIC", "APIC"},
        {"POP", "POPM"},
        {"REV", "RVRB"},
        {"RVA", "RVAD"},
        {"SLT", "SYLT"},
        {"STC", "SYTC"},
        {"TBP", "TBPM"},
        {"TDA", "TDAT"},
        {"TDY", "TDLY"},
        {"TFT", "TFLT"},
        {"TIM", "TIME"},
        {"TKE", "TKEY"},
        {"TLA", "TLAN"},
        {"TLE", "TLEN"},
        {"TMT", "TMED"},
        {"TOF", "TOFN"},
        {"TOL", "TOLY"},
        {"TOR", "TORY"},
        {"TOT", "TOAL"},
        {"TP2", "TPE2"},
        {"TP3", "TPE3"},
        {"TP4", "TPE4"},
        {"TPA", "TPOS"},
        {"TPB", "TPUB"},
        {"TRC", "TSRC"},
        {"TRD", "TRDA"},
        {"TSI", "TSIZ"},
        {"TSS", "TSSE"},
        {"TT1", "TIT1"},
        {"TT3", "TIT3"},
        {"TXT", "TEXT"},
        {"TXX", "TXXX"},
        {"UFI", "UFID"},
        {"ULT", "USLT"},
        {"WAF", "WOAF"},
        {"WAR", "WOAR"},
        {"WAS", "WOAS"},
        {"WCM", "WCOM"},
        {"WCP", "WCOP"},
        {"WPB", "WPUB"},
        // Written by iTunes into v2.2 tags.
        {"TCP", "TCMP"},
        {"TS2", "TSO2"},
        {"TSA", "TSOA"},
        {"TSC", "TSOC"},
        {"TSP", "TSOP"},
        {"TST", "TSOT"},
    };
    return ids.value(id.toByteArray());
}

std::optional<QByteArray> Content(const ID3v2Frame& frame, int major, bool tagUnsync) {
    if (major == 3) {
        if (frame.flags & (k23Compression | k23Encryption))
            return std::nullopt;
        return frame.flags & k23Grouping ? frame.payload.mid(1) : frame.payload;
    }
    if (major >= 4) {
        if (frame.flags & (k24Compression | k24Encryption))
            return std::nullopt;
        Parts24 parts = Split24(frame, tagUnsync);
        if (!parts.ok)
            return QByteArray();
        return parts.data;
    }
    return frame.payload;
}

QList<ID3v2Frame> ForV23(const ID3v2Frame& frame, int major, bool tagUnsync) {
    if (major == 3)
        return {frame};
    if (major == 2) {
        ID3v2Frame f;
        f.id = V23IdOfV22(frame.id);
        if (f.id.isEmpty())
            return {};
        f.payload = f.id == "APIC" ? PictureTo23(frame.payload) : frame.payload;
        return {f};
    }

    // Version 2.4. Positions in the audio (ASPI) and signatures over the
    // frames as stored (SIGN) would be wrong in the rewritten tag.
    if (frame.id == "ASPI" || frame.id == "SIGN")
        return {};
    const quint16 status = quint16((frame.flags >> 8 & 0x70) << 1) << 8;
    Parts24 parts = Split24(frame, tagUnsync);
    if (!parts.ok)
        return {};

    if (frame.flags & (k24Compression | k24Encryption)) {
        // Kept as stored, its extras in v2.3 order: the size before
        // compression, the encryption method, the group.
        ID3v2Frame f;
        f.id = frame.id;
        f.flags = status;
        if (frame.flags & k24Compression) {
            if (parts.dataLength < 0)
                return {};  // v2.3 needs the size before compression
            f.flags |= k23Compression;
            f.payload += Plain32(quint32(parts.dataLength));
        }
        if (parts.method >= 0) {
            f.flags |= k23Encryption;
            f.payload += char(parts.method);
        }
        if (parts.group >= 0) {
            f.flags |= k23Grouping;
            f.payload += char(parts.group);
        }
        f.payload += parts.data;
        return {f};
    }

    quint16 flags = status;
    QByteArray groupByte;
    if (parts.group >= 0) {
        flags |= k23Grouping;
        groupByte = QByteArray(1, char(parts.group));
    }
    if (frame.id == "TDRC" || frame.id == "TDOR") {
        // "yyyy-MM-ddTHH:mm:ss", as far as it goes.
        const QString date = parts.data.isEmpty()
                                 ? QString()
                                 : id3v2text::DecodeValues(quint8(parts.data[0]),
                                                           QByteArrayView(parts.data).sliced(1));
        if (frame.id == "TDOR")
            return {TextFrame("TORY", 0, date.left(4), status)};
        QList<ID3v2Frame> out;
        if (date.size() >= 10)
            out << TextFrame("TDAT", 0, date.mid(8, 2) + date.mid(5, 2), status);
        if (date.size() >= 16)
            out << TextFrame("TIME", 0, date.mid(11, 2) + date.mid(14, 2), status);
        return out;
    }
    ID3v2Frame f;
    f.id = frame.id == "TIPL" ? QByteArray("IPLS") : frame.id;
    f.flags = flags;
    f.payload = groupByte + Content24To23(f.id, parts.data);
    return {f};
}

}  // namespace id3v2frames
