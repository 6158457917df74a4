// The main window with a file name that is not UTF-8 beside its look-alike:
// both are listed, the one shown marked, and the dialogs the window opens
// edit and rename the ticked file and no other.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/mainwindow.h"
#include "app/mp3listmodel.h"
#include "app/mp3listview.h"
#include "app/startplace.h"
#include "dialogs/editor_helpers.h"
#include "dialogs/frmfilename.h"
#include "dialogs/frmid3v1tag.h"
#include "support/exact_names_fixture.h"
#include "support/qt_printers.h"
#include "support/scripted_prompter.h"

namespace {

class ExactNameWindow : public ExactNameFolder {
  protected:
    void SetUp() override {
        ExactNameFolder::SetUp();
        main = std::make_unique<Main>(prompter);
        tester = std::make_unique<QAbstractItemModelTester>(
            main->listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        main->setDialogRunner([this](QDialog& dialog) { answer(dialog); });
    }
    void TearDown() override {
        tester.reset();
        main.reset();
        ExactNameFolder::TearDown();
    }
    QStringList fileNameColumn() const {
        QStringList texts;
        for (int row = 0; row < main->listModel()->rowCount(); ++row)
            texts << main->listModel()->data(main->listModel()->index(row, 0)).toString();
        return texts;
    }
    void tick(const QString& exactName) {
        for (int row = 0; row < main->listModel()->rowCount(); ++row)
            if (main->listModel()->fileName(row) == exactName)
                main->listModel()->setChecked(row, true);
    }
    void press(const char* button) const {
        main->findChild<QPushButton*>(QLatin1String(button))->click();
    }

    ScriptedPrompter prompter;
    std::unique_ptr<Main> main;
    std::unique_ptr<QAbstractItemModelTester> tester;
    std::function<void(QDialog&)> answer;
};

TEST_F(ExactNameWindow, BothFilesAreListedAndTheTickedOneIsEditedAlone) {
    main->changeFolder(folder);
    EXPECT_EQ(main->folder(), folder);
    EXPECT_EQ(main->FileCount(), 2);
    QStringList shown = fileNameColumn();
    shown.sort();
    EXPECT_EQ(shown, (QStringList{gbkShown, QStringLiteral("����.mp3")}));

    for (int row = 0; row < 2; ++row) {
        const QVariant tip =
            main->listModel()->data(main->listModel()->index(row, 0), Qt::ToolTipRole);
        EXPECT_EQ(tip.toString(),
                  main->listModel()->fileName(row) == gbkName ? gbkShown : QString());
    }

    tick(gbkName);
    EXPECT_EQ(main->tickedFiles().names, QStringList{gbkName});
    answer = [&](QDialog& dialog) {
        auto& editor = dynamic_cast<frmID3v1Tag&>(dialog);
        editor.chkEdit(kV1Artist)->click();
        Type(editor.findChild<QLineEdit*>("txtArtist"), QStringLiteral("周杰伦"));
        editor.findChild<QPushButton*>("cmdModifyID3v1")->click();
    };
    press("cmdID3v1");
    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(ReadNative(Bytes(kGbkSunny)).right(128).mid(33, 6), Gbk(QStringLiteral("周杰伦")));
    ExpectFffdUntouched();

    tick(gbkName);
    answer = [&](QDialog& dialog) {
        auto& renamer = dynamic_cast<frmFileName&>(dialog);
        renamer.optFileNameChangeMode(1)->click();
        prompter.answer(true);
        renamer.cmdModifyID3v1()->click();
    };
    press("cmdFileName");
    const QByteArray renamed = "\xE5\x91\xA8\xE6\x9D\xB0\xE4\xBC\xA6-\xE6\x99\xB4\xE5\xA4\xA9.mp3";
    EXPECT_EQ(ReadNative(Bytes(renamed)).left(300), gbkSong.left(300));
    ExpectFffdUntouched({renamed});
    shown = fileNameColumn();
    shown.sort();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("周杰伦-晴天.mp3"), QStringLiteral("����.mp3")}));
}

TEST_F(ExactNameWindow, StartingOnTheFileSelectsItAndNotItsLookAlike) {
    const WindowCommandLine line = ParseWindowCommandLine({Bytes(kGbkSunny)});
    EXPECT_EQ(line.path, folder + "/" + gbkName);
    const StartPlace place = ChooseStartPlace(StartSources{line.path, QStringLiteral("/")});
    EXPECT_EQ(place.folder, folder);
    EXPECT_EQ(place.fileName, gbkName);
    EXPECT_TRUE(place.notice.isEmpty());
    main->openStartPlace(place);
    const int current = main->listView()->currentIndex().row();
    ASSERT_GE(current, 0);
    EXPECT_EQ(main->listModel()->fileName(current), gbkName);

    // A missing name is named in the notice as it is shown.
    const StartPlace missing = ChooseStartPlace(
        StartSources{fileio::NameFromNative(Bytes(Gbk(QStringLiteral("七里香")) + ".mp3")), {}});
    EXPECT_EQ(missing.folder, folder);
    EXPECT_TRUE(missing.notice.contains(QStringLiteral("旧歌/七里香.mp3（非 UTF-8 文件名）")));
}

}  // namespace
