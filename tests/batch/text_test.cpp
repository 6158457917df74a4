#include "batch/text.h"

#include <gtest/gtest.h>

TEST(Text, ShownTextCutsAtNulAndTrimsBlanksOnly) {
    EXPECT_EQ(ShownText(QStringLiteral("  ab\tc  ")), QStringLiteral("ab\tc"));
    EXPECT_EQ(ShownText(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd")),
              QStringLiteral("ab"));
}
