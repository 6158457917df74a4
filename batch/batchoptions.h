#pragma once

#include <functional>

#include "batch/tickedfiles.h"
#include "store/safewrite.h"

class Journal;

// How a batch that changes files runs: every batch goes through the
// write-ahead journal (store/journal.h), which makes it crash-safe and
// undoable.
struct BatchOptions {
    // The journal to run through; when null the run opens the program's
    // own (JournalFolder()) for its duration.
    Journal* journal = nullptr;
    // "保留文件修改时间" and the hard-link setting.
    ApplyOptions apply = {};
    // Asked between files; true stops the run there (the files done stay
    // done, the rest are not touched). Called on the thread that runs the batch.
    std::function<bool()> cancelled = {};
    // (done, total) after each file, on the thread that runs the batch.
    ProgressFn progress = {};
};
