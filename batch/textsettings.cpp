#include "batch/textsettings.h"

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

void ApplyTextSettings(const TextSettings& settings) {
    legacytext::Options options;
    options.fixed = settings.legacy;
    legacytext::SetDefaultOptions(options);
    id3v2text::SetWriteMode(settings.write);
}
