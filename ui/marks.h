#pragma once

#include <QIcon>
#include <QPixmap>

// The two 16 x 16 marks of the program's lists and tabs, drawn here rather
// than loaded from files.
QPixmap ReadyMarkPixmap();    // a green tick: ready / present
QPixmap BlockedMarkPixmap();  // a red cross: blocked / absent
QIcon ReadyMark();
QIcon BlockedMark();
