#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// What a batch run works on: the main list's folder and the file names of
// the ticked rows, in the list's current order.
struct TickedFiles {
    QString folder;
    QStringList names;
};

// Called after each file of a long run or reload: `done` of `total`.
using ProgressFn = std::function<void(int done, int total)>;
