#include "batch/sharedvalues.h"

#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"
#include "batch/text.h"
#include "store/error.h"
#include "store/filefacts.h"

void SharedValues::add(const std::vector<QString>& file) {
    for (size_t i = 0; i < values_.size() && i < file.size(); ++i) {
        SharedValue& value = values_[i];
        if (files_ == 0)
            value.text = file[i];
        else if (!value.mixed && value.text != file[i])
            value = {true, QString()};
    }
    ++files_;
}

namespace {

// Reads every ticked file with `one` (which may throw StoreError for a file
// it cannot read) and folds the values.
std::vector<SharedValue> Fold(const TickedFiles& files, int fields, const SharedRead& read,
                              const std::function<std::vector<QString>(const QString&)>& one) {
    SharedValues shared(fields);
    const int total = int(files.names.size());
    for (int i = 0; i < total; ++i) {
        if (read.cancelled && read.cancelled())
            break;
        try {
            shared.add(one(JoinPath(files.folderOf(i), files.names.at(i))));
        } catch (const StoreError&) {
            // A file that cannot be read now shows its trouble when written.
        }
        if (read.progress)
            read.progress(i + 1, total);
    }
    // Nothing read says nothing about the fields.
    return shared.files() == 0 ? std::vector<SharedValue>() : shared.values();
}

}  // namespace

std::vector<SharedValue> SharedID3v1Values(const TickedFiles& files, const SharedRead& read) {
    return Fold(files, kID3v1RowCount, read, [](const QString& path) {
        const ID3v1Tag found = ReadID3v1Tag(path);
        const ID3v1Tag& tag = HasID3v1Tag(found) ? found : BlankID3v1Tag();
        std::vector<QString> values(kID3v1RowCount);
        values[kV1Title] = ShownText(tag.SongTitle);
        values[kV1Artist] = ShownText(tag.Artist);
        values[kV1Album] = ShownText(tag.Album);
        values[kV1Year] = ShownText(tag.Year);
        values[kV1Comment] = ShownText(ID3v1Comment(tag));
        values[kV1Genre] = QString::number(GenreNumber(tag));
        values[kV1Track] =
            !HasID3v1Tag(found) || IsID3v10Tag(tag) ? QString() : QString::number(tag.Track);
        return values;
    });
}

std::vector<SharedValue> SharedID3v2Values(const TickedFiles& files, const SharedRead& read) {
    return Fold(files, kID3v2RowCount, read, [](const QString& path) {
        const ID3v2Values tag = ReadID3v2Values(path);
        std::vector<QString> values(kID3v2RowCount);
        for (int row = 0; row < kID3v2RowCount; ++row)
            values[size_t(row)] = tag.field(FrameIndexOfEditorRow(row)).read;
        return values;
    });
}
