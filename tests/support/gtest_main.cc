#include <gtest/gtest.h>

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
    TestApplication app(argc, argv);
    // The program's own words for store failures, which tests pin.
    InstallStoreWords();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
