#pragma once

#include <QTest>
#include <QWidget>

// Types `text` into `widget` one character at a time, as a keyboard or an
// input method would (QTest::keyClicks takes ASCII only).
inline void Type(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}
