#include "batch/writesettings.h"

#include <cerrno>

#include "store/error.h"
#include "store/programfolder.h"

namespace {

const QString kKeepMtime = QStringLiteral("write/keepModificationTime");
const QString kSplitLinks = QStringLiteral("write/splitHardLinks");
const QString kCustomPattern = QStringLiteral("rename/customPattern");
const QString kWindowsNames = QStringLiteral("rename/windowsNames");
const QString kFromNamePattern = QStringLiteral("fromName/pattern");

const QString kLegacy = QStringLiteral("text/legacy");
const QString kWriteMode = QStringLiteral("text/write");

}  // namespace

QString SettingsFilePath() {
    return ProgramFolder() + QStringLiteral("/tamberlo.ini");
}

std::unique_ptr<QSettings> OpenSettingsFile() {
    return std::make_unique<QSettings>(SettingsFilePath(), QSettings::IniFormat);
}

ApplyOptions LoadWriteSettings() {
    const auto settings = OpenSettingsFile();
    ApplyOptions options;
    options.keepMtime = settings->value(kKeepMtime, false).toBool();
    options.splitHardLinks = settings->value(kSplitLinks, false).toBool();
    return options;
}

void SaveWriteSettings(const ApplyOptions& options) {
    const auto settings = OpenSettingsFile();
    settings->setValue(kKeepMtime, options.keepMtime);
    settings->setValue(kSplitLinks, options.splitHardLinks);
}

TextSettings LoadTextSettings() {
    const auto file = OpenSettingsFile();
    TextSettings settings;
    LegacyCodePageFromName(file->value(kLegacy).toString(), &settings.legacy);
    if (const auto mode = WriteModeFromName(file->value(kWriteMode).toString()))
        settings.write = *mode;
    return settings;
}

void SaveTextSettings(const TextSettings& settings) {
    const auto file = OpenSettingsFile();
    file->setValue(kLegacy, LegacyCodePageName(settings.legacy));
    file->setValue(kWriteMode, WriteModeName(settings.write));
    // QSettings writes through a file beside the old one and renames it
    // over, so a failure leaves the old settings as they were.
    file->sync();
    if (file->status() != QSettings::NoError)
        throw StoreError::fromErrno(SettingsFilePath(), StoreOp::SaveSettings, EACCES);
}

RenameSettings LoadRenameSettings() {
    const auto settings = OpenSettingsFile();
    RenameSettings rename;
    rename.customPattern = settings->value(kCustomPattern).toString();
    rename.windowsNames = settings->value(kWindowsNames, false).toBool();
    return rename;
}

void SaveRenameSettings(const RenameSettings& rename) {
    const auto settings = OpenSettingsFile();
    settings->setValue(kCustomPattern, rename.customPattern);
    settings->setValue(kWindowsNames, rename.windowsNames);
}

QString LoadFromNamePattern() {
    return OpenSettingsFile()
        ->value(kFromNamePattern, QStringLiteral("%音轨% %艺术家% - %歌名%"))
        .toString();
}

void SaveFromNamePattern(const QString& pattern) {
    OpenSettingsFile()->setValue(kFromNamePattern, pattern);
}
