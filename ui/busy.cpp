#include "ui/busy.h"

#include <QApplication>
#include <QDateTime>
#include <QProgressDialog>

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}
BusyCursor::~BusyCursor() {
    QApplication::restoreOverrideCursor();
}

BusyProgress::BusyProgress(QWidget* parent, const QString& label)
    : parent_(parent), label_(label), startedMs_(QDateTime::currentMSecsSinceEpoch()) {}

BusyProgress::~BusyProgress() = default;

ProgressFn BusyProgress::callback() {
    return [this](int done, int total) { update(done, total); };
}

void BusyProgress::update(int done, int total) {
    // Short work never shows a window; the busy pointer is enough.
    if (!dialog_) {
        if (QDateTime::currentMSecsSinceEpoch() - startedMs_ < 1000)
            return;
        dialog_ = std::make_unique<QProgressDialog>(parent_);
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setCancelButton(nullptr);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setWindowTitle(QStringLiteral("Tamberlo"));
        dialog_->setMinimumWidth(360);
    }
    // Repainting the window for every file of a fast run would cost more
    // than the run itself: show a new count at most every 50 ms.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (done < total && now - shownMs_ < 50)
        return;
    shownMs_ = now;
    dialog_->setMaximum(total);
    dialog_->setLabelText(label_.arg(done).arg(total));
    dialog_->setValue(done);  // processes events while the modal window shows
}
