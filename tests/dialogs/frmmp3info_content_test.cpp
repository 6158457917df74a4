// The details dialog on a file that is not MP3: a note above the tabs and
// the content on page 3.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
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

// The audio on page 3, and a file listed from a sub-folder showing its own
// folder beside its name.
TEST(DetailsContent, PageThreeShowsTheAudioAndTheFilesOwnFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("专辑"))));
    WriteBytes(dir.filePath(QStringLiteral("专辑/song.mp3")), MpegFrames(300));
    WriteBytes(dir.filePath(QStringLiteral("noise.mp3")), Audio(2000));

    frmMp3Info song(dir.path(), QStringLiteral("专辑/song.mp3"));
    const auto text = [](const frmMp3Info& dialog, const char* name) {
        const auto* label = dialog.fraTabs(3)->findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("(missing)");
    };
    EXPECT_EQ(text(song, "txtDuration"), QStringLiteral("0:08（按音频大小估算）"));
    EXPECT_EQ(text(song, "txtBitrate"), QStringLiteral("128 kbit/s"));
    EXPECT_EQ(text(song, "txtSampleRate"), QStringLiteral("44.1 kHz"));
    EXPECT_EQ(text(song, "txtChannelMode"), QStringLiteral("联合立体声"));
    EXPECT_EQ(text(song, "txtVersionLayer"), QStringLiteral("MPEG-1 Layer III"));
    const auto block = [&](const char* name) {
        return song.fraTabs(3)->findChild<QPlainTextEdit*>(QLatin1String(name))->toPlainText();
    };
    EXPECT_EQ(block("txtFileName"), QStringLiteral("song.mp3"));
    EXPECT_EQ(block("txtPath"), dir.filePath(QStringLiteral("专辑")));

    frmMp3Info noise(dir.path(), QStringLiteral("noise.mp3"));
    EXPECT_EQ(text(noise, "txtDuration"), QString());
    EXPECT_EQ(text(noise, "txtBitrate"), QString());
}
