#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "batch/batchoptions.h"
#include "batch/editreport.h"
#include "batch/tickedfiles.h"

class QProgressDialog;
class QWidget;

// Long work (a batch, an undo, a preview) on a worker thread, with a
// progress window that has Cancel. The calling thread runs an event loop
// meanwhile, so every window repaints; input to the program's other
// windows is held back until the work ends, so nothing can start a second
// batch over the same files. The progress window appears when the work
// lasts longer than about half a second.
class WorkProgress {
  public:
    // `label` may hold %1 (done) and %2 (total).
    WorkProgress(QWidget* parent, QString label);
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // What the work is handed: both may be called from the worker thread.
    struct Control {
        std::function<bool()> cancelled;  // true once the user pressed Cancel
        ProgressFn progress;              // (done, total)
    };
    // Runs `work` on a worker thread and returns when it has finished; an
    // exception it throws is thrown again here.
    void run(const std::function<void(const Control&)>& work);

    bool cancelRequested() const { return cancelled_; }

    // Called with the progress window each time it is shown (tests and
    // screenshots answer or capture it; the work goes on meanwhile).
    static std::function<void(QProgressDialog&)>& onShown();

  private:
    void update();

    QWidget* parent_;
    QString label_;
    std::unique_ptr<QProgressDialog> dialog_;
    std::atomic<bool> cancelled_{false};
    std::atomic<int> done_{0};
    std::atomic<int> total_{0};
    qint64 startedMs_ = 0;
};

// Runs a batch on the worker under a progress window labelled `label`
// (with %1 and %2), its options carrying `apply`, Cancel and the progress,
// and returns its report.
template <typename Report>
Report RunBatchOnWorker(QWidget* parent, const QString& label,
                        const std::function<Report(const BatchOptions&)>& batch,
                        const ApplyOptions& apply = {}) {
    Report report;
    WorkProgress work(parent, label);
    work.run([&](const WorkProgress::Control& control) {
        BatchOptions options;
        options.apply = apply;
        options.cancelled = control.cancelled;
        options.progress = control.progress;
        report = batch(options);
    });
    return report;
}

// A tag-writing batch: the saved write settings and the progress
// "正在修改 Mp3 标签，已完成 N / M 个文件……".
EditReport RunTagBatch(QWidget* parent,
                       const std::function<EditReport(const BatchOptions&)>& batch);
