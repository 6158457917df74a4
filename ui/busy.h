#pragma once

#include <QString>
#include <memory>

#include "batch/tickedfiles.h"

class QWidget;
class QProgressDialog;

// The busy pointer for the lifetime of the guard.
class BusyCursor {
  public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Progress for long work on the UI thread: a modal progress window (no
// cancel) that appears only when the work lasts longer than about a second,
// and keeps the rest of the program from taking input meanwhile.
// `label` may hold %1 (done) and %2 (total).
class BusyProgress {
  public:
    BusyProgress(QWidget* parent, const QString& label);
    ~BusyProgress();
    BusyProgress(const BusyProgress&) = delete;
    BusyProgress& operator=(const BusyProgress&) = delete;

    // A callback to hand to the batch layer.
    ProgressFn callback();

  private:
    void update(int done, int total);

    BusyCursor cursor_;
    QWidget* parent_;
    QString label_;
    std::unique_ptr<QProgressDialog> dialog_;
    qint64 startedMs_;
    qint64 shownMs_ = 0;
};
