#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "batch/tickedfiles.h"

// What the ticked files hold, field by field, for the editors to show
// before anything is typed: a field whose value is the same in every file
// read shows that value, one whose values differ is "mixed".

struct SharedValue {
    bool mixed = false;
    QString text;  // the common value; empty when mixed

    bool operator==(const SharedValue&) const = default;
};

// Folds the values of one file after another into shared values.
class SharedValues {
  public:
    explicit SharedValues(int fields) : values_(size_t(fields)) {}
    // Adds one file's values, one per field in the same order.
    void add(const std::vector<QString>& file);
    const std::vector<SharedValue>& values() const { return values_; }
    int files() const { return files_; }

  private:
    std::vector<SharedValue> values_;
    int files_ = 0;
};

// Reading stops between files when `cancelled` says so; the values then
// cover the files read. Files that cannot be read are left out.
struct SharedRead {
    std::function<bool()> cancelled = {};
    ProgressFn progress = {};
};

// Per ID3v1 row (ID3v1Row order): the shown texts of title, artist, album,
// year and comment (cut at NUL, trimmed of blanks), the genre as its number
// in decimal, the track in decimal (empty for an ID3v1.0 tag). A file
// without an ID3v1 tag counts as empty fields (and genre "255").
std::vector<SharedValue> SharedID3v1Values(const TickedFiles& files, const SharedRead& read = {});
// Per ID3v2 editor row: the text of each catalogue frame as read (empty
// when the file has no such frame).
std::vector<SharedValue> SharedID3v2Values(const TickedFiles& files, const SharedRead& read = {});
