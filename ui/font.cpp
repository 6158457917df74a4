#include "ui/font.h"

#include <QStringList>

QFont WindowFont() {
    QFont font(QStringLiteral("宋体"));
    QStringList families;
    families << QStringLiteral("宋体") << QStringLiteral("SimSun")
             << QStringLiteral("Noto Serif CJK SC") << QStringLiteral("Noto Sans CJK SC");
    font.setFamilies(families);
    font.setPointSizeF(10.5);
    return font;
}
