#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPushButton>

#include "dialogs/frmid3v1tag.h"
#include "dialogs/frmid3v2tag.h"
#include "support/scripted_prompter.h"

namespace {

// Both editors fit their controls in their fixed frames: every visible
// child lies wholly inside the client area, and OK and Cancel share the
// bottom line. With TAMBERLO_SCREENSHOTS set to a folder, the windows are
// also saved there as PNGs for a look by eye.
template <typename Dialog>
void ExpectTidyFace(const char* shotName) {
    bool flag = true;
    ScriptedPrompter prompter;
    Dialog dialog(TickedFiles{QStringLiteral("/music"), {"a.mp3", "b.mp3"}}, flag, prompter);
    dialog.show();
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

}  // namespace
