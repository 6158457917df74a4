#include "ui/workprogress.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <exception>

#include "batch/writesettings.h"
#include "ui/busy.h"

namespace {

// Holds back the user's input to every window but the progress window
// while work runs; painting, timers and the worker's signals go on.
class InputHold : public QObject {
  public:
    explicit InputHold(const QProgressDialog* dialog) : dialog_(dialog) {
        qApp->installEventFilter(this);
    }
    ~InputHold() override { qApp->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Wheel:
            case QEvent::Shortcut:
            case QEvent::ShortcutOverride: {
                auto* widget = qobject_cast<QWidget*>(watched);
                return !(widget && dialog_->isVisible() &&
                         (widget == dialog_ || dialog_->isAncestorOf(widget)));
            }
            case QEvent::Close:
                // Closing the window while a batch writes would leave it
                // half done; the work ends first.
                return watched != dialog_;
            default:
                return false;
        }
    }

  private:
    const QProgressDialog* dialog_;
};

}  // namespace

WorkProgress::WorkProgress(QWidget* parent, QString label)
    : parent_(parent), label_(std::move(label)) {}

WorkProgress::~WorkProgress() = default;

std::function<void(QProgressDialog&)>& WorkProgress::onShown() {
    static std::function<void(QProgressDialog&)> hook;
    return hook;
}

void WorkProgress::run(const std::function<void(const Control&)>& work) {
    dialog_ = std::make_unique<QProgressDialog>(parent_);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setWindowTitle(QStringLiteral("Tamberlo"));
    dialog_->setCancelButtonText(QStringLiteral("取消"));
    dialog_->setMinimumDuration(0);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumWidth(420);
    dialog_->hide();
    // The dialog's own cancel would hide it; the work decides when it ends.
    QObject::disconnect(dialog_.get(), &QProgressDialog::canceled, dialog_.get(),
                        &QProgressDialog::cancel);
    QObject::connect(dialog_.get(), &QProgressDialog::canceled, dialog_.get(), [this] {
        cancelled_ = true;
        dialog_->setLabelText(QStringLiteral("正在取消：写完当前的文件后停止……"));
        if (QPushButton* button = dialog_->findChild<QPushButton*>())
            button->setEnabled(false);
    });

    Control control;
    control.cancelled = [this] { return cancelled_.load(); };
    control.progress = [this](int done, int total) {
        total_ = total;
        done_ = done;
    };
    std::exception_ptr error;
    BusyCursor busy;
    InputHold hold(dialog_.get());
    QEventLoop loop;
    QThread* thread = QThread::create([&] {
        try {
            work(control);
        } catch (...) {
            error = std::current_exception();
        }
    });
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, &loop, [this] { update(); });
    startedMs_ = QDateTime::currentMSecsSinceEpoch();
    thread->start();
    timer.start();
    loop.exec();
    thread->wait();
    delete thread;
    dialog_->hide();
    if (error)
        std::rethrow_exception(error);
}

void WorkProgress::update() {
    if (!dialog_->isVisible()) {
        if (QDateTime::currentMSecsSinceEpoch() - startedMs_ < 500)
            return;
        dialog_->show();
        if (onShown())
            onShown()(*dialog_);
    }
    if (cancelled_)
        return;
    const int total = total_;
    dialog_->setMaximum(std::max(total, 1));
    dialog_->setValue(std::min(done_.load(), std::max(total, 1)));
    dialog_->setLabelText(label_.arg(done_.load()).arg(total));
}

EditReport RunTagBatch(QWidget* parent,
                       const std::function<EditReport(const BatchOptions&)>& batch) {
    return RunBatchOnWorker<EditReport>(
        parent, QStringLiteral("正在修改 Mp3 标签，已完成 %1 / %2 个文件……"), batch,
        LoadWriteSettings());
}
