#pragma once

#include <QByteArray>
#include <QList>

// Runs a program with arguments given as raw bytes (QProcess can only pass
// text, which cannot hold a name that is not UTF-8) and waits for it.
struct NativeRun {
    int status = -1;  // the exit status, or -1 when it did not exit normally
    QByteArray out;
    QByteArray err;
};
NativeRun RunNative(const QByteArray& program, const QList<QByteArray>& args);
