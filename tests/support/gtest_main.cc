#include <gtest/gtest.h>

#include <QTemporaryDir>

#ifdef TAMBERLO_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include "batch/storewords.h"

// The main of every test program: a QApplication for the programs that
// drive windows, a QCoreApplication for the store and batch tests, which
// link no widgets. Windows run headless (QT_QPA_PLATFORM=offscreen).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every batch goes through the journal in the program's data folder; the
    // tests' batches (and those of the command lines they start) keep theirs
    // in a folder of their own that goes away with the run.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    TestApplication app(argc, argv);
    // The program's own words for store failures, which tests pin.
    InstallStoreWords();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
