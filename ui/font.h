#pragma once

#include <QFont>

// The window font: "宋体" at 10.5 points. Where that face is not installed,
// fontconfig substitutes an installed CJK face (Noto Sans/Serif CJK).
QFont WindowFont();
