#include "batch/writesettings.h"

#include <QSettings>

#include "store/programfolder.h"

namespace {

const QString kKeepMtime = QStringLiteral("write/keepModificationTime");
const QString kSplitLinks = QStringLiteral("write/splitHardLinks");
const QString kCustomPattern = QStringLiteral("rename/customPattern");
const QString kWindowsNames = QStringLiteral("rename/windowsNames");
const QString kFromNamePattern = QStringLiteral("fromName/pattern");

// Read afresh at every use: the folder may change (tests, a portable copy).
QSettings Settings() {
    return QSettings(ProgramFolder() + QStringLiteral("/tamberlo.ini"), QSettings::IniFormat);
}

}  // namespace

ApplyOptions LoadWriteSettings() {
    const QSettings settings = Settings();
    ApplyOptions options;
    options.keepMtime = settings.value(kKeepMtime, false).toBool();
    options.splitHardLinks = settings.value(kSplitLinks, false).toBool();
    return options;
}

void SaveWriteSettings(const ApplyOptions& options) {
    QSettings settings = Settings();
    settings.setValue(kKeepMtime, options.keepMtime);
    settings.setValue(kSplitLinks, options.splitHardLinks);
}

RenameSettings LoadRenameSettings() {
    const QSettings settings = Settings();
    RenameSettings rename;
    rename.customPattern = settings.value(kCustomPattern).toString();
    rename.windowsNames = settings.value(kWindowsNames, false).toBool();
    return rename;
}

void SaveRenameSettings(const RenameSettings& rename) {
    QSettings settings = Settings();
    settings.setValue(kCustomPattern, rename.customPattern);
    settings.setValue(kWindowsNames, rename.windowsNames);
}

QString LoadFromNamePattern() {
    return Settings()
        .value(kFromNamePattern, QStringLiteral("%音轨% %艺术家% - %歌名%"))
        .toString();
}

void SaveFromNamePattern(const QString& pattern) {
    QSettings settings = Settings();
    settings.setValue(kFromNamePattern, pattern);
}
