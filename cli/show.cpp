// tamberlo-cli show: the three records of each file (ID3v1Tag, ID3v2Tag,
// FileFacts), what it holds and its audio properties as one JSON array, one
// object per file that could be read.

#include <QString>
#include <initializer_list>
#include <utility>
#include <vector>

#include "batch/fileinfo.h"
#include "cli/commands.h"
#include "store/error.h"
#include "store/filerecords.h"
#include "store/framecatalogue.h"

namespace {

const char kShowUsage[] =
    "usage: tamberlo-cli show [--] FILE...\n"
    "  Prints a JSON array with one object per readable FILE, in the order given:\n"
    "  {\"path\": ..., \"ID3v1Tag\": {...}, \"ID3v2Tag\": {...}, \"FileFacts\": {...},\n"
    "  \"Content\": what the file holds, as the details dialog says it,\n"
    "  \"Audio\": length, bitrate and format of the MPEG audio, or null}.\n"
    "  Texts are exactly as held in the records (padding kept). A FILE that cannot\n"
    "  be read is left out of the array and named on stderr; the status is then 1.\n";

// The letter of the two-character escape JSON has for `u`, or 0.
char ShortEscape(char16_t u) {
    static const struct {
        char16_t character;
        char letter;
    } kEscapes[] = {{'"', '"'},  {'\\', '\\'}, {'\b', 'b'}, {'\f', 'f'},
                    {'\n', 'n'}, {'\r', 'r'},  {'\t', 't'}};
    for (const auto& e : kEscapes)
        if (e.character == u)
            return e.letter;
    return 0;
}

// A JSON string literal of `text`. Characters JSON requires escaped (quote,
// backslash, U+0000..U+001F) are escaped, and so are DEL, the C1 controls and
// unpaired surrogates, so the output is plain valid UTF-8. Everything else,
// including the codec's stand-ins for undecodable bytes (U+F780..U+F7FF),
// is printed as it is.
QString JsonString(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
            continue;
        }
        if (const char letter = ShortEscape(u)) {
            out += QLatin1Char('\\');
            out += QLatin1Char(letter);
        } else if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || c.isSurrogate()) {
            out += QStringLiteral("\\u%1").arg(unsigned(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

// Collects "name": value members of one JSON object, in the order given.
class JsonObject {
  public:
    JsonObject& text(const char* name, const QString& value) {
        return raw(name, JsonString(value));
    }
    // The text fields `fields` of `record`, in the order given.
    template <typename Record>
    JsonObject& texts(const Record& record,
                      std::initializer_list<std::pair<const char*, QString Record::*>> fields) {
        for (const auto& [name, field] : fields) text(name, record.*field);
        return *this;
    }
    JsonObject& number(const char* name, qint64 value) { return raw(name, QString::number(value)); }
    JsonObject& boolean(const char* name, bool value) {
        return raw(name, value ? QStringLiteral("true") : QStringLiteral("false"));
    }
    JsonObject& object(const char* name, const JsonObject& value) {
        return raw(name, value.render());
    }
    JsonObject& null(const char* name) { return raw(name, QStringLiteral("null")); }

    // The object over several lines, members indented by two blanks per
    // level. The text holds no line break but those of the layout: line
    // breaks in texts are escaped.
    QString render() const {
        const QString indentedBreak = QStringLiteral("\n  ");
        QString out = QStringLiteral("{");
        for (size_t i = 0; i < members_.size(); ++i) {
            QString value = members_[i].second;
            value.replace(QLatin1Char('\n'), indentedBreak);
            out += indentedBreak + JsonString(QLatin1String(members_[i].first)) +
                   QStringLiteral(": ") + value;
            if (i + 1 < members_.size())
                out += QLatin1Char(',');
        }
        return out + QStringLiteral("\n}");
    }

  private:
    JsonObject& raw(const char* name, QString value) {
        members_.emplace_back(name, std::move(value));
        return *this;
    }
    std::vector<std::pair<const char*, QString>> members_;
};

JsonObject ID3v1Json(const ID3v1Tag& tag) {
    JsonObject o;
    o.texts(tag, {{"Marker", &ID3v1Tag::Marker},
                  {"SongTitle", &ID3v1Tag::SongTitle},
                  {"Artist", &ID3v1Tag::Artist},
                  {"Album", &ID3v1Tag::Album},
                  {"Year", &ID3v1Tag::Year},
                  {"Comment", &ID3v1Tag::Comment}})
        .number("ZeroByte", tag.ZeroByte)
        .number("Track", tag.Track)
        .text("Genre", tag.Genre)
        .number("GenreNumber", GenreNumber(tag));
    return o;
}

JsonObject ID3v2Json(const ID3v2Tag& tag) {
    JsonObject o;
    o.boolean("Present", tag.Present)
        .text("Version", tag.Version)
        .boolean("Unsynchronisation", tag.Unsynchronisation)
        .boolean("ExtendedHeader", tag.ExtendedHeader)
        .boolean("Experimental", tag.Experimental)
        .boolean("Footer", tag.Footer)
        .number("Size", tag.Size)
        .number("ExtendedHeaderSize", tag.ExtendedHeaderSize)
        .text("Unwritable", tag.Unwritable);
    for (const FrameDescriptor& f : kFrameCatalogue) o.text(f.id, tag.*f.field);
    return o;
}

JsonObject FileFactsJson(const FileFacts& facts) {
    JsonObject o;
    o.boolean("ReadOnly", facts.ReadOnly)
        .number("Length", facts.Length)
        .boolean("Archive", facts.Archive)
        .boolean("Hidden", facts.Hidden);
    return o;
}

JsonObject AudioJson(const AudioProperties& audio) {
    static const char* const kVersions[] = {"MPEG-1", "MPEG-2", "MPEG-2.5"};
    static const char* const kHeaders[] = {"None", "Xing", "Info", "VBRI"};
    JsonObject o;
    o.text("Version", QLatin1String(kVersions[audio.version]))
        .number("Layer", audio.layer)
        .number("SampleRate", audio.sampleRate)
        .number("ChannelMode", audio.channelMode)
        .number("DurationMs", audio.durationMs)
        .number("Bitrate", audio.bitrate)
        .boolean("VBR", audio.vbr)
        .text("Header", QLatin1String(kHeaders[int(audio.header)]))
        .boolean("LengthFromHeader", audio.lengthFromHeader)
        .number("Frames", audio.frameCount)
        .number("EncoderDelay", audio.encoderDelay)
        .number("EncoderPadding", audio.encoderPadding)
        .number("FirstFrame", audio.firstFrame)
        .number("AudioEnd", audio.audioEnd);
    return o;
}

QString FileJson(const QString& path, const FileRecords& records) {
    JsonObject o;
    o.text("path", path)
        .object("ID3v1Tag", ID3v1Json(records.v1))
        .object("ID3v2Tag", ID3v2Json(records.v2))
        .object("FileFacts", FileFactsJson(records.facts))
        .text("Content", ContentText(records.content));
    if (records.audio)
        o.object("Audio", AudioJson(*records.audio));
    else
        o.null("Audio");
    return QStringLiteral("  ") + o.render().replace(QLatin1Char('\n'), QStringLiteral("\n  "));
}

}  // namespace

int CmdShow(const QStringList& args) {
    QStringList files;
    bool options = true;
    for (const QString& arg : args) {
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            Err(QStringLiteral("tamberlo-cli show: unknown option %1\n").arg(arg));
            Err(QString::fromLatin1(kShowUsage));
            return 2;
        } else {
            files.append(arg);
        }
    }
    if (files.isEmpty()) {
        Err(QString::fromLatin1(kShowUsage));
        return 2;
    }

    // Each file is printed as soon as it is read, so a long run shows
    // progress and keeps nothing in memory.
    int status = 0;
    bool first = true;
    Out(QStringLiteral("["));
    for (const QString& file : files) {
        try {
            const FileRecords records = ReadFileRecords(file, true, true);
            Out((first ? QStringLiteral("\n") : QStringLiteral(",\n")) + FileJson(file, records));
            first = false;
        } catch (const StoreError& e) {
            Err(QStringLiteral("tamberlo-cli show: %1\n").arg(e.message()));
            status = 1;
        }
    }
    Out(first ? QStringLiteral("]\n") : QStringLiteral("\n]\n"));
    return status;
}
