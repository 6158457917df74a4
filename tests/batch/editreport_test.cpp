#include "batch/editreport.h"

#include <gtest/gtest.h>

namespace {

TEST(EditReportMessages, NoneWhenEveryFileWasHandled) {
    EditReport report;
    report.written = 4;
    EXPECT_TRUE(report.allHandled());
    EXPECT_TRUE(ReportMessages(report).isEmpty());
}

TEST(EditReportMessages, ReadOnlyMessageComesBeforeTheFailureMessage) {
    EditReport report;
    report.readOnly = 2;
    report.failures = {{QStringLiteral("a.mp3"), QStringLiteral("没有权限")}};
    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], ReadOnlyMessage(2));
    EXPECT_EQ(messages[1].caption, QStringLiteral("无法修改的文件"));
    EXPECT_EQ(messages[1].text,
              QStringLiteral("您选择的文件中有 1 个文件无法修改标签，它们保持原样：\n\r\n\r"
                             "a.mp3：没有权限\n\r\n\r"
                             "请您确认这些文件仍然存在并且可以写入，然后再试，谢谢！"));
}

TEST(EditReportMessages, FailureMessageNamesTwentyFilesThenCountsTheRest) {
    QList<EditFailure> failures;
    for (int i = 1; i <= 25; ++i) failures.append({QStringLiteral("%1.mp3").arg(i), "x"});
    const QString text = FailureMessage(failures).text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("您选择的文件中有 25 个文件")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n20.mp3：x\n……另外还有 5 个文件。\n\r\n\r")));
    EXPECT_FALSE(text.contains(QStringLiteral("21.mp3")));

    failures.resize(20);
    EXPECT_FALSE(FailureMessage(failures).text.contains(QStringLiteral("另外还有")));
}

TEST(EditReportMessages, TitleFromFileNameDropsOnlyTheLastFourCharacters) {
    EXPECT_EQ(TitleFromFileName(QStringLiteral(" 01 Intro .MP3")), QStringLiteral(" 01 Intro "));
    EXPECT_EQ(TitleFromFileName(QStringLiteral("abc")), QString());
}

}  // namespace
