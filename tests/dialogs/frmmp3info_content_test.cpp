// The details dialog on a file that is not MP3: a note above the tabs and
// the content on page 3.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTemporaryDir>

#include "dialogs/frmmp3info.h"
#include "support/fixtures.h"

TEST(DetailsContent, AFileThatIsNotMp3SaysSoAboveTheTabs) {
    QTemporaryDir dir;
    WriteBytes(dir.filePath(QStringLiteral("picture.mp3")), ForeignFiles().front().bytes);
    WriteBytes(dir.filePath(QStringLiteral("song.mp3")), MpegFrames(2));

    frmMp3Info picture(dir.path(), QStringLiteral("picture.mp3"));
    auto* note = picture.findChild<QLabel*>(QStringLiteral("labContent"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().startsWith(QStringLiteral("不是 MP3 文件（看起来是 PNG 图片）")));
    EXPECT_FALSE(note->isHidden());
    auto* content = picture.fraTabs(3)->findChild<QLabel*>(QStringLiteral("txtContent"));
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->text(), QStringLiteral("不是 MP3 文件（看起来是 PNG 图片）"));

    frmMp3Info song(dir.path(), QStringLiteral("song.mp3"));
    EXPECT_EQ(song.findChild<QLabel*>(QStringLiteral("labContent")), nullptr);
    EXPECT_EQ(song.fraTabs(3)->findChild<QLabel*>(QStringLiteral("txtContent"))->text(),
              QStringLiteral("MP3 音频"));
}
