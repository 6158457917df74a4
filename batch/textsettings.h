#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "store/id3v2text.h"
#include "store/legacytext.h"

// How the program reads legacy text and writes new text; kept in the
// settings file (LoadTextSettings, batch/writesettings.h).
struct TextSettings {
    std::optional<legacytext::CodePage> legacy;  // none: decided per file
    id3v2text::WriteMode write = id3v2text::WriteMode::Gbk;

    bool operator==(const TextSettings&) const = default;
};

// The names the file and the command line use: "auto", "936", ...; false
// for a name that is not one of them.
bool LegacyCodePageFromName(const QString& name, std::optional<legacytext::CodePage>* out);
QString LegacyCodePageName(std::optional<legacytext::CodePage> codePage);
std::optional<id3v2text::WriteMode> WriteModeFromName(const QString& name);
QString WriteModeName(id3v2text::WriteMode mode);

// The setup dialog's choices, in order: "自动判断", then the code pages.
QStringList LegacyCodePageCaptions();
const QList<std::optional<legacytext::CodePage>>& LegacyCodePageChoices();
// "GBK（兼容中文 Windows 与旧播放器）", "Unicode（UTF-16，手机、苹果设备与新播放器）".
QStringList WriteModeCaptions();

// The short name of a code page a text was read in: "GBK", "Big5",
// "Shift-JIS", "CP949", "Latin-1", "UTF-8(旧)".
QString CodePageShortName(legacytext::CodePage codePage);

// Makes the store read and write by `settings` from now on.
void ApplyTextSettings(const TextSettings& settings);
