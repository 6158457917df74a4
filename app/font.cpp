#include "app/font.h"

QFont WindowFont() {
    QFont font(QStringLiteral("宋体"));
    font.setFamilies(QStringList{QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(10.5);
    return font;
}
