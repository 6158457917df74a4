#include "app/windowsettings.h"

#include <QStringList>

#include "batch/writesettings.h"
#include "store/fileio.h"

namespace {

const QString kGeometry = QStringLiteral("window/geometry");
const QString kSplitter = QStringLiteral("window/splitter");
const QString kWidths = QStringLiteral("list/widths");
const QString kLastFolder = QStringLiteral("list/lastFolder");

}  // namespace

WindowSettings ReadWindowSettings() {
    const auto file = OpenSettingsFile();
    WindowSettings settings;
    settings.geometry = file->value(kGeometry).toByteArray();
    settings.splitter = file->value(kSplitter).toByteArray();
    // "306:240,101:160": a list of pairs survives any ini reader.
    for (const QString& pair : file->value(kWidths).toString().split(QLatin1Char(','))) {
        const QStringList parts = pair.split(QLatin1Char(':'));
        bool codeOk = false;
        bool widthOk = false;
        const int code = parts.value(0).toInt(&codeOk);
        const int width = parts.value(1).toInt(&widthOk);
        if (parts.size() == 2 && codeOk && widthOk && width > 0 && width < 10000)
            settings.widths.insert(code, width);
    }
    // The folder as its bytes: a name that is not UTF-8 survives the file->
    const QByteArray folder = file->value(kLastFolder).toByteArray();
    if (folder.startsWith('/'))
        settings.lastFolder = fileio::NameFromNative(folder);
    return settings;
}

void WriteWindowSettings(const WindowSettings& settings) {
    const auto file = OpenSettingsFile();
    file->setValue(kGeometry, settings.geometry);
    file->setValue(kSplitter, settings.splitter);
    QStringList pairs;
    for (auto it = settings.widths.cbegin(); it != settings.widths.cend(); ++it)
        pairs << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
    file->setValue(kWidths, pairs.join(QLatin1Char(',')));
    if (!settings.lastFolder.isEmpty())
        file->setValue(kLastFolder, fileio::NativePath(settings.lastFolder));
}

void WriteLastFolder(const QString& folder) {
    const auto file = OpenSettingsFile();
    file->setValue(kLastFolder, fileio::NativePath(folder));
}
