#include <QApplication>

#include "app/mainwindow.h"
#include "app/prompter.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Names the per-user configuration folder used when the program's own
    // folder cannot be written.
    QCoreApplication::setApplicationName(QStringLiteral("Tamberlo"));
    MessageBoxPrompter prompter;
    Main window(prompter);
    prompter.setParent(&window);
    window.show();
    return app.exec();
}
