#include "batch/namepattern.h"

#include <QRegularExpression>

#include "batch/text.h"

QString NameFieldWord(NameField field) {
    switch (field) {
        case NameField::Title:
            return QStringLiteral("歌名");
        case NameField::Artist:
            return QStringLiteral("艺术家");
        case NameField::Album:
            return QStringLiteral("专辑");
        case NameField::Year:
            return QStringLiteral("年份");
        case NameField::Track:
            return QStringLiteral("音轨");
        case NameField::Composer:
            return QStringLiteral("作曲");
        case NameField::AlbumArtist:
            return QStringLiteral("专辑艺术家");
        case NameField::Disc:
            return QStringLiteral("碟号");
        case NameField::FileName:
            return QStringLiteral("原文件名");
    }
    return {};
}

bool NamePattern::uses(NameField field) const {
    for (const NamePatternPart& part : parts)
        if (!part.literal && part.field == field)
            return true;
    return false;
}

std::vector<NameField> NamePattern::fields() const {
    std::vector<NameField> seen;
    for (const NamePatternPart& part : parts)
        if (!part.literal && std::find(seen.begin(), seen.end(), part.field) == seen.end())
            seen.push_back(part.field);
    return seen;
}

NamePattern ParseNamePattern(const QString& input) {
    NamePattern pattern;
    QString text = input;
    if (text.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive))
        text.chop(4);
    if (text.trimmed().isEmpty()) {
        pattern.problem = QStringLiteral("格式为空");
        return pattern;
    }
    QString literal;
    const auto flush = [&] {
        if (!literal.isEmpty())
            pattern.parts.push_back({true, literal, NameField::Title});
        literal.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('%')) {
            literal += text.at(i);
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('%'), i + 1);
        if (close < 0) {
            pattern.problem =
                QStringLiteral("第 %1 个字符处的“%”没有配对（占位符写作 %歌名%，“%”本身写作 %%）")
                    .arg(i + 1);
            return pattern;
        }
        const QString word = text.mid(i + 1, close - i - 1);
        i = close;
        if (word.isEmpty()) {
            literal += QLatin1Char('%');
            continue;
        }
        std::optional<NameField> field;
        for (int f = 0; f < kNameFieldCount; ++f)
            if (NameFieldWord(NameField(f)) == word)
                field = NameField(f);
        if (!field) {
            pattern.problem = QStringLiteral("未知的占位符“%") + word + QStringLiteral("%”");
            return pattern;
        }
        flush();
        pattern.parts.push_back({false, {}, *field});
    }
    flush();
    return pattern;
}

QString ComposeFromPattern(const NamePattern& pattern, const NameValues& values) {
    QString name;
    for (const NamePatternPart& part : pattern.parts)
        name += part.literal ? part.text : values[size_t(part.field)];
    return name;
}

QString ExtractionProblem(const NamePattern& pattern) {
    if (!pattern.ok())
        return pattern.problem;
    std::vector<NameField> seen;
    bool lastWasField = false;
    for (const NamePatternPart& part : pattern.parts) {
        if (part.literal) {
            if (part.text.contains(QLatin1Char('\\')))
                return QStringLiteral("从文件名提取时不能含有“\\”");
            lastWasField = false;
            continue;
        }
        const QString placeholder =
            QStringLiteral("“%") + NameFieldWord(part.field) + QStringLiteral("%”");
        if (part.field == NameField::FileName)
            return QStringLiteral("从文件名提取时不能用") + placeholder;
        if (std::find(seen.begin(), seen.end(), part.field) != seen.end())
            return placeholder + QStringLiteral("出现了两次");
        if (lastWasField)
            return placeholder + QStringLiteral("与前一个占位符之间没有分隔的文字");
        seen.push_back(part.field);
        lastWasField = true;
    }
    if (seen.empty())
        return QStringLiteral("格式中没有占位符");
    return {};
}

std::optional<NameValues> MatchNamePattern(const NamePattern& pattern, const QString& stem) {
    QString expression = QStringLiteral("^");
    std::vector<NameField> order;
    for (const NamePatternPart& part : pattern.parts) {
        if (part.literal) {
            expression += QRegularExpression::escape(part.text);
            continue;
        }
        order.push_back(part.field);
        switch (part.field) {
            case NameField::Track:
            case NameField::Disc:
                expression += QStringLiteral("([0-9]+)");
                break;
            case NameField::Year:
                expression += QStringLiteral("([0-9]{4})");
                break;
            default:
                expression += QStringLiteral("(.+?)");
                break;
        }
    }
    expression += QStringLiteral("$");
    const QRegularExpression re(expression, QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = re.match(stem);
    if (!match.hasMatch())
        return std::nullopt;
    NameValues values;
    for (size_t i = 0; i < order.size(); ++i) {
        const QString value = TrimSpaces(match.captured(int(i) + 1));
        if (value.isEmpty())
            return std::nullopt;
        values[size_t(order[i])] = value;
    }
    return values;
}
