#pragma once

#include <QString>
#include <ostream>

// Lets gtest print Qt texts readably (UTF-8) in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
