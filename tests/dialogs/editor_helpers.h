#pragma once

#include <QStringList>
#include <QTest>
#include <QVariant>
#include <QWidget>

#include "batch/tickedfiles.h"

// Types `text` into `widget` one character at a time, as a keyboard or an
// input method would (QTest::keyClicks takes ASCII only).
inline void Type(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// `count` ticked names in a folder nobody reads.
inline TickedFiles Names(int count) {
    TickedFiles files{QStringLiteral("/nowhere"), {}};
    for (int i = 0; i < count; ++i) files.names << QStringLiteral("%1.mp3").arg(i);
    return files;
}

// The object names of the widgets that take Tab focus, in tab order from
// `first`; members of an array get their index appended.
inline QStringList TabOrder(QWidget* first) {
    QStringList names;
    QWidget* w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus) {
            const QVariant index = w->property("index");
            names << w->objectName() + (index.isValid() ? index.toString() : QString());
        }
        w = w->nextInFocusChain();
    } while (w != first);
    return names;
}
