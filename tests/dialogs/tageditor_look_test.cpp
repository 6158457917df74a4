#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

#include "dialogs/frmid3v1tag.h"
#include "dialogs/frmid3v2tag.h"
#include "support/frame_rows.h"
#include "support/scripted_prompter.h"

namespace {

// Both editors fit their controls in their fixed frames: every visible
// child lies wholly inside the client area, and OK and Cancel share the
// bottom line. With TAMBERLO_SCREENSHOTS set to a folder, the windows are
// also saved there as PNGs for a look by eye.
template <typename Dialog>
void ExpectTidyFace(
    const char* shotName, const std::function<void(Dialog&)>& fill = [](Dialog&) {}) {
    bool flag = true;
    ScriptedPrompter prompter;
    Dialog dialog(TickedFiles{QStringLiteral("/music"), {"a.mp3", "b.mp3"}}, flag, prompter);
    dialog.show();
    fill(dialog);
    const QRect client = dialog.rect();
    for (QWidget* child : dialog.template findChildren<QWidget*>()) {
        if (!child->isVisible() || child->parentWidget() != &dialog)
            continue;
        EXPECT_TRUE(client.contains(child->geometry()))
            << child->objectName().toStdString() << " leaves the window";
        EXPECT_GE(child->width(), child->minimumSizeHint().width())
            << child->objectName().toStdString() << " is cut off";
    }
    auto* ok = dialog.template findChild<QPushButton*>(QString(), Qt::FindDirectChildrenOnly);
    auto* cancel = dialog.template findChild<QPushButton*>(QStringLiteral("cmdCancel"));
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->y(), cancel->y());
    EXPECT_GT(ok->y(), client.height() * 4 / 5);
    const QString shots = qEnvironmentVariable("TAMBERLO_SCREENSHOTS");
    if (!shots.isEmpty())
        dialog.grab().save(QDir(shots).filePath(QLatin1String(shotName)));
}

TEST(TagEditorLook, ID3v1EditorFitsItsFrame) {
    ExpectTidyFace<frmID3v1Tag>("frmID3v1Tag.png");
}
TEST(TagEditorLook, ID3v2EditorFitsItsFrame) {
    ExpectTidyFace<frmID3v2Tag>("frmID3v2Tag.png");
}

// The byte-count line holds its longest kind of text, a character the tag
// cannot store, without pushing anything out of the frame.
TEST(TagEditorLook, ID3v1EditorFitsAProblemLine) {
    ExpectTidyFace<frmID3v1Tag>("frmID3v1Tag-problem.png", [](frmID3v1Tag& dialog) {
        dialog.chkEdit(kV1Comment)->click();
        dialog.findChild<QPlainTextEdit*>("txtComment")
            ->insertPlainText(QStringLiteral("一首好歌 😀"));
        auto* line = dialog.findChild<QLabel*>("labByteCount");
        ASSERT_NE(line, nullptr);
        ASSERT_TRUE(line->text().contains(QStringLiteral("😀")));
        EXPECT_LE(line->heightForWidth(line->width()), line->height());
    });
}

TEST(TagEditorLook, ID3v1EditorFitsAByteCount) {
    ExpectTidyFace<frmID3v1Tag>("frmID3v1Tag-count.png", [](frmID3v1Tag& dialog) {
        dialog.chkEdit(kV1Album)->click();
        dialog.findChild<QLineEdit*>("txtAlbum")->setText(QStringLiteral("叶惠美 2003"));
        auto* line = dialog.findChild<QLabel*>("labByteCount");
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->text(), QStringLiteral("专辑：已用 11 / 30 字节"));
    });
}

TEST(TagEditorLook, ID3v2EditorTakesALongText) {
    ExpectTidyFace<frmID3v2Tag>("frmID3v2Tag-long.png", [](frmID3v2Tag& dialog) {
        dialog.chkEdit2(kV2TCOM)->click();
        qobject_cast<QLineEdit*>(dialog.input(kV2TCOM))
            ->setText(QStringLiteral("作曲：") + QString(40, QChar(0x4E50)));
        dialog.chkEdit2(kV2COMM)->click();
        qobject_cast<QPlainTextEdit*>(dialog.input(kV2COMM))
            ->setPlainText(QString(60, QLatin1Char('x')) + QStringLiteral("\n第二行"));
    });
}

}  // namespace
