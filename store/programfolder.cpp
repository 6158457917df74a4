#include "store/programfolder.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

QString& Override() {
    static QString folder;
    return folder;
}

QString ChooseFolder() {
    if (QCoreApplication::instance()) {
        const QString exeFolder = QCoreApplication::applicationDirPath();
        if (::access(QFile::encodeName(exeFolder).constData(), W_OK) == 0)
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

void SetProgramFolder(const QString& folder) {
    Override() = folder;
}
