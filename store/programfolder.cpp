#include "store/programfolder.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString& Override() {
    static QString folder;
    return folder;
}

// An installed copy: bin/ beside a share/ that holds our AppStream
// metadata. Its bin/ is never the settings folder, not even for root, who
// may write there (and for whom access() says so).
bool IsInstalled(const QString& exeFolder) {
    return QFileInfo(exeFolder).fileName() == QLatin1String("bin") &&
           QFileInfo::exists(exeFolder +
                             QStringLiteral("/../share/metainfo/" TAMBERLO_APP_ID ".metainfo.xml"));
}

QString ChooseFolder() {
    if (QCoreApplication::instance()) {
        const QString exeFolder = QCoreApplication::applicationDirPath();
        if (!IsInstalled(exeFolder) &&
            ::access(QFile::encodeName(exeFolder).constData(), W_OK) == 0)
            return exeFolder;
    }
    QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config/Tamberlo");
    QDir().mkpath(config);
    return config;
}

}  // namespace

QString ProgramFolder() {
    if (!Override().isEmpty())
        return Override();
    static const QString chosen = ChooseFolder();
    return chosen;
}

void SetProgramName() {
    QCoreApplication::setApplicationName(QStringLiteral("Tamberlo"));
}

void SetProgramFolder(const QString& folder) {
    Override() = folder;
}

namespace {

QString& JournalOverride() {
    static QString folder;
    return folder;
}

}  // namespace

QString JournalFolder() {
    if (!JournalOverride().isEmpty())
        return JournalOverride();
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share/Tamberlo");
    return data + QStringLiteral("/journal");
}

void SetJournalFolder(const QString& folder) {
    JournalOverride() = folder;
}
