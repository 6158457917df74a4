#include "batch/writesettings.h"

#include <QSettings>

#include "store/programfolder.h"

namespace {

const QString kKeepMtime = QStringLiteral("write/keepModificationTime");
const QString kSplitLinks = QStringLiteral("write/splitHardLinks");

}  // namespace

ApplyOptions LoadWriteSettings() {
    QSettings settings(ProgramFolder() + QStringLiteral("/tamberlo.ini"), QSettings::IniFormat);
    ApplyOptions options;
    options.keepMtime = settings.value(kKeepMtime, false).toBool();
    options.splitHardLinks = settings.value(kSplitLinks, false).toBool();
    return options;
}

void SaveWriteSettings(const ApplyOptions& options) {
    QSettings settings(ProgramFolder() + QStringLiteral("/tamberlo.ini"), QSettings::IniFormat);
    settings.setValue(kKeepMtime, options.keepMtime);
    settings.setValue(kSplitLinks, options.splitHardLinks);
}
