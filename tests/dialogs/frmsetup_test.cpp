// The column setup dialog: what it lists, how the arrow buttons change the
// chosen columns, and what OK and Cancel leave in clmnhdr.dll.
#include "dialogs/frmsetup.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <memory>

#include "batch/columns.h"
#include "store/programfolder.h"
#include "support/fixtures.h"
#include "support/qt_printers.h"
#include "support/scripted_prompter.h"

namespace {

const QByteArray kDefaultFile(
    "\x00\x00\x20\x00"                   // reserved 0, filler 32
    "\x32\x01\x65\x00\x66\x00\x67\x00"   // 306 101 102 103
    "\x68\x00\x69\x00\x2E\x01\x31\x01",  // 104 105 302 305
    20);

class SetupDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
    }
    void TearDown() override { SetProgramFolder({}); }

    QString configPath() const { return dir.filePath(QStringLiteral("clmnhdr.dll")); }

    // The dialog as the user finds it after the program's first start.
    std::unique_ptr<frmSetup> openAfterFirstStart() {
        LoadColumnCodes();  // what the main window does at start-up
        return open();
    }
    std::unique_ptr<frmSetup> open() {
        auto dialog = std::make_unique<frmSetup>(prompter);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    static QListWidget* list(const frmSetup& dialog, const char* name) {
        auto* list = dialog.findChild<QListWidget*>(QString::fromLatin1(name));
        EXPECT_NE(list, nullptr) << name;
        return list;
    }
    static QPushButton* button(const frmSetup& dialog, const char* name) {
        auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
        EXPECT_NE(button, nullptr) << name;
        return button;
    }
    static QStringList texts(const QListWidget* list) {
        QStringList all;
        for (int i = 0; i < list->count(); ++i) all << list->item(i)->text();
        return all;
    }
    // Selects the catalogue entry of `code` and presses ">>".
    static void choose(const frmSetup& dialog, int code) {
        QListWidget* left = list(dialog, "lvwColumnHeaders");
        left->setCurrentRow(int(CatalogueCodes().indexOf(code)));
        QTest::mouseClick(button(dialog, "cmdSelect"), Qt::LeftButton);
    }

    QTemporaryDir dir;
    ScriptedPrompter prompter;
};

TEST_F(SetupDialog, ListsTheWholeCatalogueInCodeOrderWithGroupPrefixes) {
    auto dialog = openAfterFirstStart();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("系统设置"));
    auto* frame = dialog->findChild<QGroupBox*>(QStringLiteral("Frame1"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), QStringLiteral("Mp3 列表的表头设定"));
    EXPECT_EQ(button(*dialog, "cmdOK")->text(), QStringLiteral("确定（&O）"));
    EXPECT_EQ(button(*dialog, "cmdCancel")->text(), QStringLiteral("取消（&C）"));

    QListWidget* left = list(*dialog, "lvwColumnHeaders");
    ASSERT_EQ(left->count(), 37);
    for (int i = 0; i < 37; ++i) {
        const int code = CatalogueCodes().at(i);
        EXPECT_EQ(left->item(i)->data(Qt::UserRole).toInt(), code);
        EXPECT_EQ(left->item(i)->text(), ColumnSetupText(code));
    }
    EXPECT_EQ(left->item(0)->text(), QStringLiteral("ID3v1 - 歌名"));
    EXPECT_EQ(left->item(16)->text(), QStringLiteral("ID3v2 - 版权"));
    EXPECT_EQ(left->item(23)->text(), QStringLiteral("ID3v2 - 封面"));
    EXPECT_EQ(left->item(26)->text(), QStringLiteral("文件属性 - 是否只读文件"));
    EXPECT_EQ(left->item(30)->text(), QStringLiteral("文件属性 - 文件内容"));
    EXPECT_EQ(left->item(31)->text(), QStringLiteral("文件属性 - 文字编码"));
    EXPECT_EQ(left->item(32)->text(), QStringLiteral("音频 - 时长"));
    EXPECT_EQ(left->item(36)->text(), QStringLiteral("音频 - MPEG 版本/层"));
}

TEST_F(SetupDialog, ShowsTheEightDefaultColumnsAfterTheFirstStart) {
    auto dialog = openAfterFirstStart();
    const QStringList expected = {
        QStringLiteral("文件属性 - 文件名"),     QStringLiteral("ID3v1 - 歌名"),
        QStringLiteral("ID3v1 - 艺术家"),        QStringLiteral("ID3v1 - 专辑"),
        QStringLiteral("ID3v1 - 年份"),          QStringLiteral("ID3v1 - 类型"),
        QStringLiteral("文件属性 - 有无 ID3v2"), QStringLiteral("文件属性 - 文件大小(K)")};
    EXPECT_EQ(texts(list(*dialog, "lvwSelectedColumns")), expected);
    EXPECT_EQ(dialog->selectedCodes(), (QList<int>{306, 101, 102, 103, 104, 105, 302, 305}));
    EXPECT_TRUE(button(*dialog, "cmdUnselect")->isEnabled());
}

TEST_F(SetupDialog, ChoosingAColumnTwiceWritesItTwice) {
    auto dialog = openAfterFirstStart();
    choose(*dialog, 210);
    choose(*dialog, 210);
    EXPECT_EQ(list(*dialog, "lvwColumnHeaders")->count(), 37);  // the entry stays available

    QTest::mouseClick(button(*dialog, "cmdOK"), Qt::LeftButton);

    EXPECT_EQ(ReadBytes(configPath()), kDefaultFile + QByteArray("\xD2\x00\xD2\x00", 4));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("新的系统设置要在软件下次启动才能生效！"));
    EXPECT_EQ(prompter.shown[0].caption, QStringLiteral("设置完成"));
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(SetupDialog, UnselectIsDisabledExactlyWhileTheChosenListIsEmpty) {
    auto dialog = openAfterFirstStart();
    QListWidget* right = list(*dialog, "lvwSelectedColumns");
    QPushButton* unselect = button(*dialog, "cmdUnselect");

    right->setCurrentRow(3);
    QTest::mouseClick(unselect, Qt::LeftButton);
    EXPECT_EQ(dialog->selectedCodes(), (QList<int>{306, 101, 102, 104, 105, 302, 305}));
    // The entry below moves up and is selected, so "<<" goes on removing.
    for (int left = 7; left > 0; --left) {
        EXPECT_TRUE(unselect->isEnabled());
        QTest::mouseClick(unselect, Qt::LeftButton);
    }
    EXPECT_EQ(right->count(), 0);
    EXPECT_FALSE(unselect->isEnabled());

    choose(*dialog, 101);
    EXPECT_TRUE(unselect->isEnabled());
    EXPECT_EQ(dialog->selectedCodes(), QList<int>{101});
}

TEST_F(SetupDialog, ArrowsDoNothingWithoutASelectedEntry) {
    auto dialog = openAfterFirstStart();
    list(*dialog, "lvwColumnHeaders")->clearSelection();
    list(*dialog, "lvwSelectedColumns")->clearSelection();
    QTest::mouseClick(button(*dialog, "cmdSelect"), Qt::LeftButton);
    QTest::mouseClick(button(*dialog, "cmdUnselect"), Qt::LeftButton);
    EXPECT_EQ(dialog->selectedCodes().size(), 8);
}

TEST_F(SetupDialog, DoubleClickActsAsTheArrowBesideTheList) {
    auto dialog = openAfterFirstStart();
    QListWidget* left = list(*dialog, "lvwColumnHeaders");
    QListWidget* right = list(*dialog, "lvwSelectedColumns");
    auto doubleClick = [](QListWidget* list, int row) {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    };

    doubleClick(left, 1);  // ID3v1 - 艺术家
    EXPECT_EQ(dialog->selectedCodes().size(), 9);
    EXPECT_EQ(dialog->selectedCodes().last(), 102);
    doubleClick(right, 0);  // 文件属性 - 文件名
    EXPECT_EQ(dialog->selectedCodes(), (QList<int>{101, 102, 103, 104, 105, 302, 305, 102}));
}

TEST_F(SetupDialog, OkWithoutChangeRewritesTheSameBytes) {
    auto dialog = openAfterFirstStart();
    QTest::mouseClick(button(*dialog, "cmdOK"), Qt::LeftButton);
    EXPECT_EQ(ReadBytes(configPath()), kDefaultFile);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].caption, QStringLiteral("设置完成"));
}

TEST_F(SetupDialog, EmptyChoiceSavesTheHeaderOnly) {
    WriteBytes(configPath(), QByteArray("\x00\x00\x20\x00", 4));
    auto dialog = open();
    EXPECT_EQ(list(*dialog, "lvwSelectedColumns")->count(), 0);
    EXPECT_FALSE(button(*dialog, "cmdUnselect")->isEnabled());
    QTest::mouseClick(button(*dialog, "cmdOK"), Qt::LeftButton);
    EXPECT_EQ(ReadBytes(configPath()), QByteArray("\x00\x00\x20\x00", 4));
}

TEST_F(SetupDialog, UnknownCodesInTheFileAreLeftOutOfTheChosenList) {
    // header, 305, 999, 305
    WriteBytes(configPath(), QByteArray("\x00\x00\x20\x00\x31\x01\xE7\x03\x31\x01", 10));
    auto dialog = open();
    EXPECT_EQ(dialog->selectedCodes(), (QList<int>{305, 305}));
}

TEST_F(SetupDialog, CancelAfterChangesLeavesTheFileAsItWas) {
    auto dialog = openAfterFirstStart();
    choose(*dialog, 213);
    list(*dialog, "lvwSelectedColumns")->setCurrentRow(0);
    QTest::mouseClick(button(*dialog, "cmdUnselect"), Qt::LeftButton);

    QTest::mouseClick(button(*dialog, "cmdCancel"), Qt::LeftButton);

    EXPECT_EQ(ReadBytes(configPath()), kDefaultFile);
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(SetupDialog, EscapeWritesNothing) {
    auto dialog = openAfterFirstStart();
    choose(*dialog, 213);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(ReadBytes(configPath()), kDefaultFile);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(SetupDialog, UnwritableFolderIsReportedAndTheDialogStaysOpen) {
    // A program folder below a regular file can be neither created nor
    // written, even by root.
    WriteBytes(dir.filePath(QStringLiteral("plain")), "x");
    SetProgramFolder(dir.filePath(QStringLiteral("plain/folder")));
    auto dialog = open();
    EXPECT_EQ(list(*dialog, "lvwSelectedColumns")->count(), 0);
    choose(*dialog, 101);

    QTest::mouseClick(button(*dialog, "cmdOK"), Qt::LeftButton);

    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].caption, QStringLiteral("设置未保存"));
    EXPECT_TRUE(prompter.shown[0].text.startsWith(QStringLiteral("新的系统设置没有保存。")));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->selectedCodes(), QList<int>{101});
    EXPECT_EQ(ReadBytes(dir.filePath(QStringLiteral("plain"))), QByteArray("x"));

    // Pointed back at a writable folder, the same dialog saves.
    SetProgramFolder(dir.path());
    QTest::mouseClick(button(*dialog, "cmdOK"), Qt::LeftButton);
    EXPECT_EQ(ReadBytes(configPath()), QByteArray("\x00\x00\x20\x00\x65\x00", 6));
    EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
