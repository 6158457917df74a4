// The main window: start-up, columns from clmnhdr.dll, the prompt, ticking
// by buttons and clicks, header sorting, reloads and the dialogs it opens.
#include "app/mainwindow.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include "app/mp3listmodel.h"
#include "app/mp3listview.h"
#include "app/startplace.h"
#include "app/windowsettings.h"
#include "batch/columns.h"
#include "batch/id3v1edit.h"
#include "dialogs/frmfilename.h"
#include "dialogs/frmid3v1tag.h"
#include "dialogs/frmid3v2tag.h"
#include "dialogs/frmmp3info.h"
#include "dialogs/frmsetup.h"
#include "store/programfolder.h"
#include "support/fixtures.h"
#include "support/scripted_prompter.h"

namespace {

const QString kEmptyPrompt = QStringLiteral("列表中没有 Mp3 文件！");

QString Prompt(int files, int ticked) {
    return QStringLiteral("列表中共有 %1 个MP3文件，  您选定了%2 个。").arg(files).arg(ticked);
}

QByteArray ConfigBytes(const QByteArray& header, const QList<int>& codes) {
    QByteArray bytes = header;
    for (const int code : codes) {
        bytes += char(code & 0xFF);
        bytes += char((code >> 8) & 0xFF);
    }
    return bytes;
}

class MainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(program.isValid());
        ASSERT_TRUE(music.isValid());
        SetProgramFolder(program.path());
    }
    void TearDown() override {
        main.reset();
        SetProgramFolder({});
    }

    // Creates the window; `config` (when given) is written as clmnhdr.dll first.
    Main& start(const QByteArray* config = nullptr) {
        if (config)
            WriteBytes(program.filePath(QStringLiteral("clmnhdr.dll")), *config);
        main = std::make_unique<Main>(prompter);
        tester = std::make_unique<QAbstractItemModelTester>(
            main->listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        main->setDialogRunner([this](QDialog& dialog) {
            opened.append(dialog.metaObject()->className());
            if (answer)
                answer(dialog);
        });
        return *main;
    }

    // A tagged file in the music folder; `title` is its ID3v1 title.
    void song(const QString& name, const QString& title) const {
        WriteBytes(music.filePath(name), V2Tag(V2Text("TIT2", Gbk(title))) + Audio(2048) +
                                             V1Bytes(Gbk(title), Gbk(QStringLiteral("歌手"))));
    }
    void songs(int n) const {
        for (int i = 0; i < n; ++i)
            song(QStringLiteral("%1.mp3").arg(i, 2, 10, QLatin1Char('0')),
                 QStringLiteral("歌%1").arg(i));
    }

    QString prompt() const { return main->findChild<QLabel*>(QStringLiteral("labPrompt"))->text(); }
    void press(const char* button) const {
        main->findChild<QPushButton*>(QLatin1String(button))->click();
    }
    QStringList column(int column) const {
        QStringList texts;
        const Mp3ListModel* model = main->listModel();
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->data(model->index(row, column)).toString();
        return texts;
    }
    QStringList headers() const {
        QStringList texts;
        const Mp3ListModel* model = main->listModel();
        for (int c = 0; c < model->columnCount(); ++c)
            texts << model->headerData(c, Qt::Horizontal).toString();
        return texts;
    }
    void showWindow() const {
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }
    void clickHeader(int section) const {
        QHeaderView* header = main->listView()->header();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(section) + 10, header->height() / 2));
    }

    QTemporaryDir program;
    QTemporaryDir music;
    ScriptedPrompter prompter;
    std::unique_ptr<Main> main;
    std::unique_ptr<QAbstractItemModelTester> tester;
    QStringList opened;
    std::function<void(QDialog&)> answer;
};

}  // namespace

TEST_F(MainTest, NewWindowShowsTheCurrentFolderUnlistedAndWritesTheDefaultColumnFile) {
    songs(2);
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(music.path()));
    start();
    QDir::setCurrent(saved);

    EXPECT_EQ(prompt(), kEmptyPrompt);
    EXPECT_TRUE(main->FillListFlag);
    EXPECT_EQ(main->CheckedCount(), 0);
    EXPECT_EQ(main->FileCount(), 0);
    EXPECT_EQ(main->listModel()->rowCount(), 0);
    EXPECT_EQ(main->folder(), music.path());
    auto* tree = main->findChild<QTreeView*>(QStringLiteral("dirDirList"));
    auto* folders = qobject_cast<QFileSystemModel*>(tree->model());
    EXPECT_EQ(folders->filePath(tree->currentIndex()), music.path());

    EXPECT_EQ(ReadBytes(program.filePath(QStringLiteral("clmnhdr.dll"))),
              QByteArray::fromHex("00002000320165006600670068006900"
                                  "2e013101"));
    EXPECT_EQ(
        headers(),
        (QStringList{QStringLiteral("文件名"), QStringLiteral("歌名"), QStringLiteral("艺术家"),
                     QStringLiteral("专辑"), QStringLiteral("年份"), QStringLiteral("类型"),
                     QStringLiteral("有无 ID3v2"), QStringLiteral("文件大小(K)")}));
}

// What `tamberlo [FOLDER | FILE]` shows once started: the folder listed, the
// file selected (not ticked), a note when the path was not found.
TEST_F(MainTest, StartListsItsPlaceAndSelectsTheFileAskedFor) {
    songs(3);
    WriteBytes(music.filePath(QStringLiteral("cover.jpg")), "JFIF");
    const QString folder = music.path();
    const struct {
        const char* what;
        QString argument;
        int selected;  // -1: no row
        bool notice;
    } cases[] = {
        {"nothing: the current folder", {}, -1, false},
        {"the folder", folder, -1, false},
        {"a file", folder + QStringLiteral("/01.mp3"), 1, false},
        {"a file, relative", QStringLiteral("02.mp3"), 2, false},
        {"a file the list leaves out", folder + QStringLiteral("/cover.jpg"), -1, false},
        {"a missing file", folder + QStringLiteral("/03.mp3"), -1, true},
        {"a missing folder below", folder + QStringLiteral("/gone/deeper"), -1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        start();
        main->openStartPlace(ChooseStartPlace(StartSources{c.argument, folder}));
        EXPECT_EQ(main->folder(), folder);
        auto* tree = main->findChild<QTreeView*>(QStringLiteral("dirDirList"));
        EXPECT_EQ(qobject_cast<QFileSystemModel*>(tree->model())->filePath(tree->currentIndex()),
                  folder);
        EXPECT_EQ(column(0), (QStringList{"00.mp3", "01.mp3", "02.mp3"}));
        EXPECT_EQ(main->CheckedCount(), 0);
        const QModelIndexList selected = main->listView()->selectionModel()->selectedRows();
        if (c.selected < 0) {
            EXPECT_TRUE(selected.isEmpty());
        } else {
            ASSERT_EQ(selected.size(), 1);
            EXPECT_EQ(selected.first().row(), c.selected);
            EXPECT_EQ(main->listView()->currentIndex().row(), c.selected);
        }
        EXPECT_EQ(prompt().startsWith(QStringLiteral("“")), c.notice) << prompt().toStdString();
        EXPECT_TRUE(prompt().endsWith(Prompt(3, 0))) << prompt().toStdString();
    }
    // The guide the window points to is the Chinese one.
    EXPECT_TRUE(main->findChild<QLabel*>(QStringLiteral("labHelp"))
                    ->text()
                    .contains(QLatin1String("README.zh-CN.md")));
}

TEST_F(MainTest, ColumnFileVariantsGiveTheirColumns) {
    const QByteArray header("\x00\x00\x20\x00", 4);
    const struct {
        const char* what;
        QByteArray bytes;
        QList<int> codes;
    } cases[] = {
        {"header only", header, {}},
        {"shorter than the header", QByteArray("\x00\x00", 2), {}},
        {"duplicates", ConfigBytes(header, {305, 305}), {305, 305}},
        {"unknown codes skipped",
         ConfigBytes(header, {101, 999, 0, -1, 218, 309, 108, 306}),
         {101, 306}},
        {"header not 0, 32",
         ConfigBytes(QByteArray("\x07\x00\xff\xff", 4), {107, 201}),
         {107, 201}},
        {"odd trailing byte", ConfigBytes(header, {302}) + '\x01', {302}},
    };
    for (const auto& c : cases) {
        start(&c.bytes);
        EXPECT_EQ(main->listModel()->columnCodes(), c.codes) << c.what;
        QStringList names;
        for (const int code : c.codes) names << ColumnHeaderText(code);
        EXPECT_EQ(headers(), names) << c.what;
        // The file is read, never rewritten, when it exists.
        EXPECT_EQ(ReadBytes(program.filePath(QStringLiteral("clmnhdr.dll"))), c.bytes) << c.what;
    }
}

TEST_F(MainTest, ColumnFileEditedWhileRunningChangesNothingUntilTheNextStart) {
    songs(1);
    start();
    WriteBytes(program.filePath(QStringLiteral("clmnhdr.dll")), QByteArray("\x00\x00\x20\x00", 4));
    main->changeFolder(music.path());
    EXPECT_EQ(main->listModel()->columnCount(), 8);
    EXPECT_EQ(column(0), QStringList{"00.mp3"});
}

TEST_F(MainTest, ListWithoutColumnsStillCountsItsRows) {
    const QByteArray headerOnly("\x00\x00\x20\x00", 4);
    songs(3);
    start(&headerOnly);
    main->changeFolder(music.path());
    EXPECT_EQ(main->listModel()->rowCount(), 3);
    press("cmdCheckAll");
    EXPECT_EQ(prompt(), Prompt(3, 3));
}

TEST_F(MainTest, WindowCarriesEveryControlWithItsCaption) {
    start();
    EXPECT_TRUE(main->windowTitle().startsWith(QStringLiteral("Tamberlo 2.0 （简体中文版） ")));
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {
        {"cmdCheckAll", "全    选（&S）"},
        {"cmdClearAll", "清空选择（&U）"},
        {"cmdReverseSelection", "反转选择（&R）"},
        {"cmdID3v1", "修改 ID3v1 标签"},
        {"cmdID3v2", "修改 ID3v2 标签"},
        {"cmdFileName", "修改 Mp3 文件名"},
        {"cmdSetup", "修改表头设定"},
        {"cmdExit", "退出程序（&E）"},
    };
    for (const auto& b : buttons) {
        auto* button = main->findChild<QPushButton*>(QLatin1String(b.name));
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
    }
    const struct {
        const char* name;
        const char* caption;
    } frames[] = {
        {"fraPath", "请选择 Mp3 文件所在的目录"},
        {"fraMp3Files",
         "从下表中选择需要修改（标签或文件名）的 Mp3 文件。 "
         "点击表头可按字段正、反向排序。双击某行可查看该文件的详细信息。"},
        {"fraTagEditArea", "针对上表中选中的 Mp3 文件，进行以下操作，请选择相应按钮"},
    };
    for (const auto& f : frames) {
        auto* frame = main->findChild<QGroupBox*>(QLatin1String(f.name));
        ASSERT_NE(frame, nullptr) << f.name;
        EXPECT_EQ(frame->title(), QString::fromUtf8(f.caption)) << f.name;
    }
    EXPECT_NE(main->findChild<QTreeView*>(QStringLiteral("dirDirList")), nullptr);
    EXPECT_NE(main->findChild<Mp3ListView*>(QStringLiteral("lvwMp3List")), nullptr);
}

TEST_F(MainTest, ChangeOfFolderListsItsFilesUnticked) {
    songs(3);
    start();
    main->changeFolder(music.path());
    EXPECT_EQ(main->FileCount(), 3);
    EXPECT_EQ(column(0), (QStringList{"00.mp3", "01.mp3", "02.mp3"}));
    EXPECT_EQ(column(1),
              (QStringList{QStringLiteral("歌0"), QStringLiteral("歌1"), QStringLiteral("歌2")}));
    EXPECT_EQ(prompt(), Prompt(3, 0));

    QTemporaryDir empty;
    main->changeFolder(empty.path());
    EXPECT_EQ(main->listModel()->rowCount(), 0);
    EXPECT_EQ(prompt(), Prompt(0, 0));
}

TEST_F(MainTest, SelectionButtonsRewriteThePromptWithZeroOneAndManyRows) {
    start();
    // Before any folder: the buttons still rewrite the prompt.
    press("cmdCheckAll");
    EXPECT_EQ(prompt(), Prompt(0, 0));
    press("cmdReverseSelection");
    EXPECT_EQ(prompt(), Prompt(0, 0));

    song(QStringLiteral("one.mp3"), QStringLiteral("一"));
    main->changeFolder(music.path());
    press("cmdCheckAll");
    EXPECT_EQ(prompt(), Prompt(1, 1));
    press("cmdReverseSelection");
    EXPECT_EQ(prompt(), Prompt(1, 0));

    songs(9);
    main->changeFolder(music.path());
    for (const int row : {0, 4, 9}) main->listModel()->setChecked(row, true);
    EXPECT_EQ(prompt(), Prompt(10, 3));
    press("cmdReverseSelection");
    EXPECT_EQ(prompt(), Prompt(10, 7));
    EXPECT_EQ(main->CheckedCount(), 7);
    press("cmdClearAll");
    EXPECT_EQ(prompt(), Prompt(10, 0));
    press("cmdCheckAll");
    EXPECT_EQ(prompt(), Prompt(10, 10));
}

TEST_F(MainTest, CheckBoxClickAndRowClickEachCountOnce) {
    songs(3);
    start();
    main->changeFolder(music.path());
    showWindow();
    Mp3ListView* view = main->listView();

    const QRect box = view->checkBoxRect(1);
    ASSERT_TRUE(box.isValid());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_TRUE(main->listModel()->isChecked(1));
    EXPECT_EQ(prompt(), Prompt(3, 1));

    // Elsewhere on a row: the label of the first cell, then another cell.
    const QRect name = view->visualRect(main->listModel()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      QPoint(box.right() + 40, name.center().y()));
    EXPECT_TRUE(main->listModel()->isChecked(2));
    EXPECT_EQ(prompt(), Prompt(3, 2));
    const QRect title = view->visualRect(main->listModel()->index(2, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, title.center());
    EXPECT_FALSE(main->listModel()->isChecked(2));
    EXPECT_EQ(prompt(), Prompt(3, 1));

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    EXPECT_FALSE(main->listModel()->isChecked(1));
    EXPECT_EQ(prompt(), Prompt(3, 0));

    // Space on the current row toggles it like its check box.
    view->setFocus();
    view->setCurrentIndex(main->listModel()->index(0, 1));
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(prompt(), Prompt(3, 1));
}

TEST_F(MainTest, FirstClickOnAColumnSortsAscendingAndTheNextFlipsIt) {
    song(QStringLiteral("a.mp3"), QStringLiteral("b"));
    song(QStringLiteral("b.mp3"), QStringLiteral("c"));
    song(QStringLiteral("c.mp3"), QStringLiteral("a"));
    start();
    main->changeFolder(music.path());
    showWindow();
    QHeaderView* header = main->listView()->header();

    clickHeader(1);
    EXPECT_EQ(column(1), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    clickHeader(1);
    EXPECT_EQ(column(1), (QStringList{"c", "b", "a"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(0);  // another column starts ascending again
    EXPECT_EQ(column(0), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    clickHeader(1);
    EXPECT_EQ(column(1), (QStringList{"a", "b", "c"}));
}

TEST_F(MainTest, NoTickedFileMessageOpensNoDialog) {
    songs(2);
    start();
    main->changeFolder(music.path());
    for (const char* button : {"cmdID3v1", "cmdID3v2", "cmdFileName"}) press(button);
    ASSERT_EQ(prompter.shown.size(), 3);
    for (const auto& shown : prompter.shown) {
        EXPECT_EQ(shown.text, QStringLiteral("可是，您并没有选择 Mp3 文件呀？"));
        EXPECT_EQ(shown.caption, QStringLiteral("没有选择文件"));
        EXPECT_FALSE(shown.question);
    }
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(MainTest, BatchDialogReloadsOnlyWhenItLeavesTheFlagSet) {
    songs(3);
    start();
    main->changeFolder(music.path());
    bool ok = false;
    answer = [&](QDialog&) { main->FillListFlag = ok; };

    main->listModel()->setChecked(1, true);
    ok = false;  // Cancel: the list and its ticks stay
    press("cmdID3v2");
    EXPECT_EQ(opened, QStringList{"frmID3v2Tag"});
    EXPECT_TRUE(main->listModel()->isChecked(1));
    EXPECT_EQ(prompt(), Prompt(3, 1));

    song(QStringLiteral("03.mp3"), QStringLiteral("新"));
    ok = true;  // OK: reloaded, new file seen, ticks gone
    press("cmdID3v1");
    EXPECT_EQ(main->listModel()->rowCount(), 4);
    EXPECT_EQ(prompt(), Prompt(4, 0));

    // Closed by its close box: the flag stays as the last dialog left it.
    main->listModel()->setChecked(0, true);
    answer = nullptr;
    press("cmdFileName");
    EXPECT_EQ(main->CheckedCount(), 0);
    EXPECT_EQ(opened, (QStringList{"frmID3v2Tag", "frmID3v1Tag", "frmFileName"}));

    press("cmdSetup");
    EXPECT_EQ(opened.last(), QStringLiteral("frmSetup"));
    EXPECT_EQ(main->listModel()->rowCount(), 4);
}

TEST_F(MainTest, UndoButtonIsOfferedOnlyWithABatchToUndoAndTakesItBack) {
    SetJournalFolder(program.filePath(QStringLiteral("journal")));
    const auto resetJournal = qScopeGuard([] { SetJournalFolder({}); });
    songs(2);
    const QByteArray before = ReadBytes(music.filePath(QStringLiteral("00.mp3")));
    start();
    main->changeFolder(music.path());
    auto* undo = main->findChild<QPushButton*>(QStringLiteral("cmdUndo"));
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(undo->toolTip().startsWith(QStringLiteral("没有可以撤销的修改。")));
    EXPECT_FALSE(QFileInfo::exists(JournalFolder()));  // looking created nothing

    // The dialog's OK, as the batch it runs.
    answer = [&](QDialog&) {
        ID3v1Edit edit;
        edit.ticked[1] = true;
        edit.artist = QStringLiteral("Other");
        RunID3v1Edit(main->tickedFiles(), edit);
        main->FillListFlag = true;
    };
    press("cmdCheckAll");
    press("cmdID3v1");
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_TRUE(undo->toolTip().startsWith(QStringLiteral("撤销：修改 ID3v1 标签，2 个文件，")))
        << qPrintable(undo->toolTip());
    EXPECT_NE(ReadBytes(music.filePath(QStringLiteral("00.mp3"))), before);

    prompter.answer(true);
    undo->click();
    EXPECT_EQ(ReadBytes(music.filePath(QStringLiteral("00.mp3"))), before);
    EXPECT_FALSE(undo->isEnabled());
}

TEST_F(MainTest, ReloadClearsTicksAndKeepsTheSort) {
    songs(4);
    start();
    main->changeFolder(music.path());
    main->listModel()->sort(1, Qt::DescendingOrder);
    main->listModel()->checkAll();
    song(QStringLiteral("99.mp3"), QStringLiteral("歌5"));
    answer = [&](QDialog&) { main->FillListFlag = true; };
    press("cmdID3v1");
    EXPECT_EQ(main->CheckedCount(), 0);
    EXPECT_EQ(column(1),
              (QStringList{QStringLiteral("歌5"), QStringLiteral("歌3"), QStringLiteral("歌2"),
                           QStringLiteral("歌1"), QStringLiteral("歌0")}));
}

TEST_F(MainTest, BatchDialogsGetTheTickedNamesInTheOrderShown) {
    songs(4);
    start();
    main->changeFolder(music.path());
    main->listModel()->sort(0, Qt::DescendingOrder);
    main->listModel()->setChecked(0, true);
    main->listModel()->setChecked(2, true);
    const TickedFiles files = main->tickedFiles();
    EXPECT_EQ(files.folder, music.path());
    EXPECT_EQ(files.names, (QStringList{"03.mp3", "01.mp3"}));
}

TEST_F(MainTest, DoubleClickAndReturnOpenTheDetailsAndKeepTheTick) {
    songs(3);
    start();
    main->changeFolder(music.path());
    showWindow();
    Mp3ListView* view = main->listView();
    Mp3ListModel* model = main->listModel();
    model->setChecked(0, true);
    QStringList shownFiles;
    QList<bool> tickedDuringDialog;
    answer = [&](QDialog& dialog) {
        shownFiles << dialog.findChild<QGroupBox*>(QStringLiteral("fraTagEditArea"))->title();
        tickedDuringDialog << model->isChecked(view->currentIndex().row());
    };

    // On the row's text and on its check box; ticked and unticked rows.
    for (const int row : {0, 1}) {
        for (const bool onBox : {false, true}) {
            SCOPED_TRACE(QStringLiteral("row %1, box %2").arg(row).arg(onBox).toStdString());
            const bool before = model->isChecked(row);
            const QPoint at = onBox ? view->checkBoxRect(row).center()
                                    : view->visualRect(model->index(row, 1)).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);  // the first click
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
            EXPECT_EQ(model->isChecked(row), before);
            EXPECT_EQ(tickedDuringDialog.last(), before);
            EXPECT_TRUE(shownFiles.last().endsWith(QStringLiteral("/0%1.mp3").arg(row)));
        }
    }
    EXPECT_EQ(opened.size(), 4);
    EXPECT_EQ(prompt(), Prompt(3, 1));

    // Return on the current row is the keyboard's double-click.
    model->setChecked(2, true);
    view->setFocus();
    view->setCurrentIndex(model->index(2, 0));
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(opened.size(), 5);
    EXPECT_TRUE(model->isChecked(2));
    EXPECT_EQ(prompt(), Prompt(3, 2));
    EXPECT_EQ(model->rowCount(), 3);
}

TEST_F(MainTest, VanishedFolderMovesListAndTreeToItsParent) {
    start();
    const QString gone = music.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(gone));
    song(QStringLiteral("kept.mp3"), QStringLiteral("留"));
    main->changeFolder(gone);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    main->changeFolder(gone);

    EXPECT_EQ(main->folder(), music.path());
    auto* tree = main->findChild<QTreeView*>(QStringLiteral("dirDirList"));
    EXPECT_EQ(qobject_cast<QFileSystemModel*>(tree->model())->filePath(tree->currentIndex()),
              music.path());
    EXPECT_EQ(column(0), QStringList{"kept.mp3"});
    EXPECT_TRUE(prompt().contains(QStringLiteral("不存在")));
    EXPECT_TRUE(prompt().endsWith(Prompt(1, 0)));
}

TEST_F(MainTest, ClosingADialogLeavesTheWindowWhereItWas) {
    songs(1);
    start();
    main->changeFolder(music.path());
    showWindow();
    main->move(120, 200);
    QCoreApplication::processEvents();
    const QPoint before = main->pos();
    press("cmdSetup");
    press("cmdID3v1");  // the message box of nothing ticked
    main->listModel()->setChecked(0, true);
    press("cmdID3v2");
    QCoreApplication::processEvents();
    EXPECT_EQ(main->pos(), before);
}

TEST_F(MainTest, FoldersBeyond32767FilesLoadAndCount) {
    const int count = 32770;
    for (int i = 0; i < count; ++i) {
        QFile file(music.filePath(QStringLiteral("%1.mp3").arg(i)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    start();
    main->changeFolder(music.path());
    EXPECT_EQ(main->FileCount(), count);
    press("cmdCheckAll");
    EXPECT_EQ(prompt(), Prompt(count, count));
    main->listModel()->setChecked(0, false);
    press("cmdReverseSelection");
    EXPECT_EQ(prompt(), Prompt(count, 1));
}

TEST_F(MainTest, HiddenFolderIsStillTheTreesCurrentFolder) {
    start();
    main->changeFolder(music.path());
    const QString hidden = music.filePath(QStringLiteral(".hidden"));
    ASSERT_TRUE(QDir().mkpath(hidden));
    WriteBytes(hidden + QStringLiteral("/a.mp3"), Audio(10));
    main->changeFolder(hidden);
    EXPECT_EQ(main->folder(), hidden);
    EXPECT_EQ(column(0), QStringList{"a.mp3"});
    auto* tree = main->findChild<QTreeView*>(QStringLiteral("dirDirList"));
    EXPECT_EQ(qobject_cast<QFileSystemModel*>(tree->model())->filePath(tree->currentIndex()),
              hidden);
}

// ---- A library of folders: sub-folders, refresh, selection, menus ----

namespace {

QTreeView* Tree(Main& main) {
    return main.findChild<QTreeView*>(QStringLiteral("dirDirList"));
}

QString TreeFolder(Main& main) {
    QTreeView* tree = Tree(main);
    return qobject_cast<QFileSystemModel*>(tree->model())->filePath(tree->currentIndex());
}

QAction* MenuEntry(Main& main, const char* name) {
    return main.contextMenu()->findChild<QAction*>(QLatin1String(name));
}

}  // namespace

TEST_F(MainTest, SubFoldersListWithRelativeNamesAndBatchesGetThoseNames) {
    song(QStringLiteral("top.mp3"), QStringLiteral("顶"));
    ASSERT_TRUE(QDir().mkpath(music.filePath(QStringLiteral("周杰伦/叶惠美"))));
    song(QStringLiteral("周杰伦/叶惠美/01 晴天.mp3"), QStringLiteral("晴天"));
    song(QStringLiteral("周杰伦/single.mp3"), QStringLiteral("单曲"));
    start();
    main->changeFolder(music.path());
    auto* box = main->findChild<QCheckBox*>(QStringLiteral("chkSubFolders"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("包含子文件夹"));
    EXPECT_EQ(column(0), QStringList{"top.mp3"});
    main->listModel()->setChecked(0, true);

    box->click();  // lists the tree, keeping the tick of top.mp3
    EXPECT_EQ(column(0), (QStringList{"top.mp3", QStringLiteral("周杰伦/single.mp3"),
                                      QStringLiteral("周杰伦/叶惠美/01 晴天.mp3")}));
    EXPECT_EQ(prompt(), Prompt(3, 1));
    main->listModel()->setChecked(2, true);
    EXPECT_EQ(main->tickedFiles().names,
              (QStringList{"top.mp3", QStringLiteral("周杰伦/叶惠美/01 晴天.mp3")}));
    EXPECT_EQ(main->tickedFiles().folder, music.path());
    EXPECT_EQ(TreeFolder(*main), music.path());  // the tree stays on the folder listed
    // The name column grows to show the paths.
    const QFontMetrics metrics(main->listView()->font());
    EXPECT_GT(main->listView()->header()->sectionSize(0),
              metrics.horizontalAdvance(QStringLiteral("周杰伦/叶惠美/01 晴天.mp3")));

    box->click();
    EXPECT_FALSE(main->includesSubFolders());
    EXPECT_EQ(column(0), QStringList{"top.mp3"});
}

TEST_F(MainTest, RefreshSeesNewAndGoneFilesAndKeepsTicksAndSelection) {
    songs(4);
    start();
    main->changeFolder(music.path());
    showWindow();
    Mp3ListModel* model = main->listModel();
    model->setChecked(1, true);
    model->setChecked(3, true);
    main->listView()->selectionModel()->select(
        QItemSelection(model->index(2, 0), model->index(3, model->columnCount() - 1)),
        QItemSelectionModel::ClearAndSelect);
    song(QStringLiteral("00a.mp3"), QStringLiteral("新"));
    ASSERT_TRUE(QFile::remove(music.filePath(QStringLiteral("03.mp3"))));

    QTest::keyClick(main.get(), Qt::Key_F5);
    EXPECT_EQ(column(0), (QStringList{"00.mp3", "00a.mp3", "01.mp3", "02.mp3"}));
    EXPECT_EQ(model->checkedNames(), QStringList{"01.mp3"});
    EXPECT_EQ(prompt(), Prompt(4, 1));
    EXPECT_EQ(main->listView()->selectedRowNumbers(), QList<int>{3});  // 02.mp3

    // The reload after a batch still clears the ticks; the menu gets the
    // batch's files back.
    emit main->contextMenu()->aboutToShow();
    EXPECT_FALSE(MenuEntry(*main, "mnuCheckLastBatch")->isEnabled());
    answer = [&](QDialog&) { main->FillListFlag = true; };
    press("cmdID3v1");
    EXPECT_EQ(main->CheckedCount(), 0);
    emit main->contextMenu()->aboutToShow();
    ASSERT_TRUE(MenuEntry(*main, "mnuCheckLastBatch")->isEnabled());
    MenuEntry(*main, "mnuCheckLastBatch")->trigger();
    EXPECT_EQ(model->checkedNames(), QStringList{"01.mp3"});
}

TEST_F(MainTest, FilesChangedByOtherProgramsShowWithinASecond) {
    songs(2);
    start();
    main->changeFolder(music.path());
    main->listModel()->setChecked(0, true);
    song(QStringLiteral("copied in.mp3"), QStringLiteral("拷贝"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->FileCount() == 3; }, 5000));
    EXPECT_EQ(main->listModel()->checkedNames(), QStringList{"00.mp3"});

    // A tag rewritten in place changes no folder entry.
    song(QStringLiteral("01.mp3"), QStringLiteral("改过"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return column(1).contains(QStringLiteral("改过")); }, 5000));
    EXPECT_EQ(main->CheckedCount(), 1);

    // The window's own reading changes nothing it watches: no reload follows
    // a reload.
    QSignalSpy reloads(main->listModel(), &QAbstractItemModel::modelReset);
    QTest::qWait(1200);
    EXPECT_EQ(reloads.size(), 0);
}

TEST_F(MainTest, CtrlAndShiftSelectWithoutTickingAndSpaceTicksTheSelection) {
    songs(6);
    start();
    main->changeFolder(music.path());
    showWindow();
    Mp3ListView* view = main->listView();
    Mp3ListModel* model = main->listModel();
    const auto cell = [&](int row) { return view->visualRect(model->index(row, 1)).center(); };

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell(1));  // ticks and selects
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, cell(3));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, cell(5));
    EXPECT_EQ(view->selectedRowNumbers(), (QList<int>{1, 2, 3, 5}));
    EXPECT_EQ(model->checkedNames(), QStringList{"01.mp3"});

    // The current row (5) is unticked: Space ticks every selected row.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(model->checkedNames(), (QStringList{"01.mp3", "02.mp3", "03.mp3", "05.mp3"}));
    EXPECT_EQ(prompt(), Prompt(6, 4));
    QTest::keyClick(view, Qt::Key_Space);  // and unticks them all again
    EXPECT_EQ(main->CheckedCount(), 0);

    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view->selectedRowNumbers().size(), 6);
    EXPECT_EQ(main->CheckedCount(), 0);
}

TEST_F(MainTest, RightClickMenuActsOnTheSelectedRows) {
    ASSERT_TRUE(QDir().mkpath(music.filePath(QStringLiteral("专辑"))));
    songs(3);
    song(QStringLiteral("专辑/深.mp3"), QStringLiteral("深"));
    start();
    main->changeFolder(music.path());
    main->setIncludesSubFolders(true);
    QList<QUrl> urls;
    main->setUrlOpener([&](const QUrl& url) { urls << url; });

    QStringList texts;
    for (QAction* action : main->contextMenu()->actions())
        if (!action->isSeparator())
            texts << action->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("勾选所选"), QStringLiteral("取消勾选所选"),
                                  QStringLiteral("查看详细信息"),
                                  QStringLiteral("在文件管理器中打开所在文件夹"),
                                  QStringLiteral("复制文件路径"),
                                  QStringLiteral("勾选上次操作的文件"), QStringLiteral("刷新")}));
    // With nothing selected the row entries are off.
    emit main->contextMenu()->aboutToShow();
    EXPECT_FALSE(MenuEntry(*main, "mnuCheckSelected")->isEnabled());
    EXPECT_FALSE(MenuEntry(*main, "mnuCheckLastBatch")->isEnabled());

    Mp3ListModel* model = main->listModel();
    ASSERT_EQ(column(0).last(), QStringLiteral("专辑/深.mp3"));
    main->listView()->selectionModel()->select(
        QItemSelection(model->index(2, 0), model->index(3, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    main->listView()->selectionModel()->setCurrentIndex(model->index(3, 0),
                                                        QItemSelectionModel::NoUpdate);
    emit main->contextMenu()->aboutToShow();
    EXPECT_TRUE(MenuEntry(*main, "mnuCheckSelected")->isEnabled());

    MenuEntry(*main, "mnuCheckSelected")->trigger();
    EXPECT_EQ(model->checkedNames(), (QStringList{"02.mp3", QStringLiteral("专辑/深.mp3")}));
    MenuEntry(*main, "mnuUncheckSelected")->trigger();
    EXPECT_EQ(main->CheckedCount(), 0);

    MenuEntry(*main, "mnuCopyPath")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              music.filePath(QStringLiteral("02.mp3")) + QLatin1Char('\n') +
                  music.filePath(QStringLiteral("专辑/深.mp3")));
    MenuEntry(*main, "mnuOpenFolder")->trigger();  // the current row's own folder
    ASSERT_EQ(urls.size(), 1);
    EXPECT_EQ(urls.first().toLocalFile(), music.filePath(QStringLiteral("专辑")));

    MenuEntry(*main, "mnuDetails")->trigger();
    EXPECT_EQ(opened, QStringList{"frmMp3Info"});
    EXPECT_EQ(main->CheckedCount(), 0);
}

TEST_F(MainTest, WindowKeepsItsPlaceSizeWidthsSplitterAndLastFolder) {
    songs(1);
    start();
    // The first start fits a 1280x800 screen, bottom edge included.
    const QRect free = main->screen()->availableGeometry();
    EXPECT_TRUE(free.contains(main->geometry())) << main->geometry().height();
    main->changeFolder(music.path());
    showWindow();
    main->setGeometry(60, 70, 1100, 650);
    main->listView()->header()->resizeSection(1, 211);
    auto* splitter = main->findChild<QSplitter*>(QStringLiteral("splitter"));
    splitter->setSizes({250, 600});
    const QList<int> sizes = splitter->sizes();
    main->close();
    main.reset();

    start();
    showWindow();
    EXPECT_EQ(main->size(), QSize(1100, 650));
    EXPECT_EQ(main->listView()->header()->sectionSize(1), 211);
    EXPECT_EQ(main->findChild<QSplitter*>(QStringLiteral("splitter"))->sizes(), sizes);
    EXPECT_EQ(ReadWindowSettings().lastFolder, music.path());
    const StartPlace place =
        ChooseStartPlace(StartSources{{}, QStringLiteral("/"), ReadWindowSettings().lastFolder});
    EXPECT_EQ(place.folder, music.path());
}

TEST_F(MainTest, DroppedFolderOrFileOpensIt) {
    ASSERT_TRUE(QDir().mkpath(music.filePath(QStringLiteral("专辑"))));
    songs(2);
    song(QStringLiteral("专辑/b.mp3"), QStringLiteral("乙"));
    song(QStringLiteral("专辑/a.mp3"), QStringLiteral("甲"));
    start();
    const auto drop = [&](const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(main.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(main.get(), &dropped);
    };
    drop(music.filePath(QStringLiteral("专辑")));
    EXPECT_EQ(main->folder(), music.filePath(QStringLiteral("专辑")));
    EXPECT_EQ(column(0), (QStringList{"a.mp3", "b.mp3"}));
    drop(music.filePath(QStringLiteral("01.mp3")));
    EXPECT_EQ(main->folder(), music.path());
    EXPECT_EQ(TreeFolder(*main), music.path());
    EXPECT_EQ(main->listView()->currentIndex().row(), 1);
    EXPECT_EQ(main->CheckedCount(), 0);

    // Not a local file: refused.
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/a.mp3"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &web, Qt::LeftButton, {});
    QCoreApplication::sendEvent(main.get(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST_F(MainTest, TreeKeepsTheClickedFolderWhileFoldersLoad) {
    for (const char* name : {"a", "b", "c"})
        ASSERT_TRUE(QDir().mkpath(music.filePath(QLatin1String(name))));
    start();
    main->changeFolder(music.filePath(QStringLiteral("a")));
    showWindow();
    QTreeView* tree = Tree(*main);
    auto* folders = qobject_cast<QFileSystemModel*>(tree->model());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return folders->rowCount(folders->index(music.path())) == 3; }, 3000));
    // The user clicks a folder: it is listed and stays current, and later
    // loads of the tree's folders do not scroll the tree under the pointer.
    const QModelIndex b = folders->index(music.filePath(QStringLiteral("b")));
    tree->scrollTo(b);
    const QRect where = tree->visualRect(b);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, where.center());
    EXPECT_EQ(main->folder(), music.filePath(QStringLiteral("b")));
    const int scrolled = tree->verticalScrollBar()->value();
    emit folders->directoryLoaded(music.path());
    emit folders->directoryLoaded(QStringLiteral("/"));
    EXPECT_EQ(tree->verticalScrollBar()->value(), scrolled);
    EXPECT_EQ(TreeFolder(*main), music.filePath(QStringLiteral("b")));
}
