#include "batch/textsettings.h"

#include <QFile>

#include "batch/columns.h"
#include "store/programfolder.h"

using legacytext::CodePage;

namespace {

constexpr CodePage kFixedChoices[] = {CodePage::Gbk, CodePage::Big5, CodePage::ShiftJis,
                                      CodePage::Korean, CodePage::Western};

}  // namespace

bool LegacyCodePageFromName(const QString& name, std::optional<CodePage>* out) {
    if (name == QLatin1String("auto")) {
        *out = std::nullopt;
        return true;
    }
    for (CodePage cp : kFixedChoices)
        if (name == QString::number(int(cp))) {
            *out = cp;
            return true;
        }
    return false;
}

QString LegacyCodePageName(std::optional<CodePage> codePage) {
    return codePage ? QString::number(int(*codePage)) : QStringLiteral("auto");
}

std::optional<id3v2text::WriteMode> WriteModeFromName(const QString& name) {
    if (name == QLatin1String("gbk"))
        return id3v2text::WriteMode::Gbk;
    if (name == QLatin1String("utf16"))
        return id3v2text::WriteMode::Unicode;
    return std::nullopt;
}

QString WriteModeName(id3v2text::WriteMode mode) {
    return mode == id3v2text::WriteMode::Gbk ? QStringLiteral("gbk") : QStringLiteral("utf16");
}

const QList<std::optional<CodePage>>& LegacyCodePageChoices() {
    static const QList<std::optional<CodePage>> choices = {std::nullopt,     CodePage::Gbk,
                                                           CodePage::Big5,   CodePage::ShiftJis,
                                                           CodePage::Korean, CodePage::Western};
    return choices;
}

QStringList LegacyCodePageCaptions() {
    return {QStringLiteral("自动判断"),
            QStringLiteral("936 简体中文（GBK）"),
            QStringLiteral("950 繁体中文（Big5）"),
            QStringLiteral("932 日文（Shift-JIS）"),
            QStringLiteral("949 韩文"),
            QStringLiteral("1252 西欧（Latin-1）")};
}

QStringList WriteModeCaptions() {
    return {QStringLiteral("GBK（兼容中文 Windows 与旧播放器）"),
            QStringLiteral("Unicode（UTF-16，手机、苹果设备与新播放器）")};
}

QString CodePageShortName(CodePage codePage) {
    switch (codePage) {
        case CodePage::Gbk:
            return QStringLiteral("GBK");
        case CodePage::Big5:
            return QStringLiteral("Big5");
        case CodePage::ShiftJis:
            return QStringLiteral("Shift-JIS");
        case CodePage::Korean:
            return QStringLiteral("CP949");
        case CodePage::Western:
            return QStringLiteral("Latin-1");
        case CodePage::Utf8:
            return QStringLiteral("UTF-8(旧)");
    }
    return {};
}

TextSettings ParseTextSettings(QByteArrayView bytes) {
    TextSettings settings;
    for (const QByteArray& raw : bytes.toByteArray().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("legacy")) {
            LegacyCodePageFromName(value, &settings.legacy);
        } else if (key == QLatin1String("write")) {
            if (const auto mode = WriteModeFromName(value))
                settings.write = *mode;
        }
    }
    return settings;
}

QByteArray RenderTextSettings(const TextSettings& settings) {
    return "legacy=" + LegacyCodePageName(settings.legacy).toUtf8() +
           "\nwrite=" + WriteModeName(settings.write).toUtf8() + "\n";
}

QString TextSettingsPath() {
    return ProgramFolder() + QStringLiteral("/textcode.ini");
}

TextSettings ReadTextSettings() {
    QFile file(TextSettingsPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ParseTextSettings(file.readAll());
}

void SaveTextSettings(const TextSettings& settings) {
    WriteSettingsFile(TextSettingsPath(), RenderTextSettings(settings));
}

void ApplyTextSettings(const TextSettings& settings) {
    legacytext::Options options;
    options.fixed = settings.legacy;
    legacytext::SetDefaultOptions(options);
    id3v2text::SetWriteMode(settings.write);
}
