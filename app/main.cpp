#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

#include "app/mainwindow.h"
#include "app/startplace.h"
#include "app/windowsettings.h"
#include "batch/storewords.h"
#include "batch/writesettings.h"
#include "store/filefacts.h"
#include "store/programfolder.h"
#include "ui/prompter.h"

namespace {

QList<QByteArray> Arguments(int argc, char** argv) {
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i) arguments.append(QByteArray(argv[i]));
    return arguments;
}

void Print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version are answered before Qt starts, so they work
    // without a display.
    const WindowCommandLine early = ParseWindowCommandLine(Arguments(argc, argv));
    if (early.action == WindowCommandLine::Action::Help) {
        Print(stdout, WindowUsage());
        return 0;
    }
    if (early.action == WindowCommandLine::Action::Version) {
        Print(stdout, WindowVersion());
        return 0;
    }

    QApplication app(argc, argv);  // takes Qt's own options out of argv
    InstallStoreWords();
    SetProgramName();
    ApplyTextSettings(LoadTextSettings());
    QCoreApplication::setApplicationVersion(QStringLiteral(TAMBERLO_VERSION));
    // Ties the window to its desktop entry and its installed icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAMBERLO_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(TAMBERLO_APP_ID)));

    const WindowCommandLine line = ParseWindowCommandLine(Arguments(argc, argv));
    if (line.action == WindowCommandLine::Action::UsageError) {
        Print(stderr,
              QStringLiteral("tamberlo: ") + line.problem + QLatin1Char('\n') + WindowUsage());
        return 2;
    }

    // Qt's own texts in the program's language: the buttons of the message
    // boxes, among them the one that unfolds a report's list of files.
    // Without Qt's translations installed they stay in English.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    MessageBoxPrompter prompter;
    Main window(prompter);
    prompter.setParent(&window);
    window.show();
    window.recoverInterruptedBatches();
    window.openStartPlace(ChooseStartPlace(
        StartSources{line.path, CurrentFolder(), ReadWindowSettings().lastFolder}));
    return app.exec();
}
