#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// What a batch run works on: the main list's folder and the file names of
// the ticked rows, in the list's current order.
struct TickedFiles {
    QString folder;
    QStringList names;
    // When not empty, the folder of each name, in place of `folder` (the
    // command line's files, which may come from several folders); reports
    // then name each file by its path.
    QStringList folders = {};

    const QString& folderOf(qsizetype i) const { return folders.isEmpty() ? folder : folders[i]; }
};

// Called after each file of a long run or reload: `done` of `total`.
using ProgressFn = std::function<void(int done, int total)>;
