#pragma once

#include <QString>

// The four characters that join the lines of a multi-line message:
// line feed, carriage return, line feed, carriage return.
inline const QString kMessageBreak = QStringLiteral("\n\r\n\r");

// The text up to its first NUL character (all of it when it holds none).
QString CutAtNul(const QString& text);
// Removes blanks (U+0020 only) at both ends; other white space stays.
QString TrimSpaces(const QString& text);
// A tag field as the list, the renamer and the details dialog show it:
// cut at the first NUL, then trimmed of blanks.
QString ShownText(const QString& field);
