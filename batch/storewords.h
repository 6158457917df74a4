#pragma once

#include "store/error.h"

// The program's words for store failures: operations, reasons and the
// sentence around them ("写入“/音乐/a.mp3”时出错：没有权限（Permission
// denied）"). Every text goes through QCoreApplication::translate in the
// context "StoreWords", so a translation can replace it; the window and the
// command line show the same words.

class ChineseStoreWording : public StoreWording {
  public:
    QString operation(StoreOp op) const override;
    // A system failure reads as its Chinese name with the system's own
    // text in parentheses, for anyone who searches for it; an errno without
    // a Chinese name shows the system's text alone.
    QString reason(StoreProblem problem, qint64 number, const QString& detail) const override;
    QString message(const QString& operation, const QString& path,
                    const QString& reason) const override;
};

// Installs ChineseStoreWording for the whole program. Called by every
// main (window, command line, test programs) before anything else.
void InstallStoreWords();
