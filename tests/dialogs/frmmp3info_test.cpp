// The details dialog: the values it shows, its tab marks, its pages and its
// keyboard behaviour, driven headless over files written into a temporary
// folder.
#include "dialogs/frmmp3info.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "store/id3v2picture.h"
#include "store/programfolder.h"
#include "support/fixtures.h"
#include "support/qt_printers.h"
#include "ui/marks.h"

namespace {

const char* const kPage1Values[] = {"labSongTitle", "labArtist",  "labAlbum",  "labYear",
                                    "labGenre",     "labTrackID", "labComment"};
const char* const kPage2Values[] = {"labTIT2", "labTPE1", "labTALB", "labTYER",
                                    "labTCON", "labTRCK", "labCOMM", "labTCOM",
                                    "labTOPE", "labTCOP", "labWXXX", "labTENC"};

QWidget* ValueWidget(const QDialog& dialog, const char* name) {
    auto* widget = dialog.findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << "no value widget " << name;
    return widget;
}

QString Value(const QDialog& dialog, const char* name) {
    QWidget* widget = ValueWidget(dialog, name);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(widget))
        return box->toPlainText();
    return QStringLiteral("<not a value widget>");
}

QColor TextColour(const QDialog& dialog, const char* name) {
    QWidget* widget = ValueWidget(dialog, name);
    if (qobject_cast<QPlainTextEdit*>(widget))
        return widget->palette().color(QPalette::Text);
    return widget->palette().color(QPalette::WindowText);
}

QTabWidget* Tabs(const QDialog& dialog) {
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tbsTagsEditing"));
    EXPECT_NE(tabs, nullptr);
    return tabs;
}

bool ShowsMark(const QDialog& dialog, int tab, const QPixmap& mark) {
    const QImage shown =
        Tabs(dialog)->tabIcon(tab).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    return shown == mark.toImage().convertToFormat(QImage::Format_ARGB32);
}

// A v2 text frame holding GBK text.
QByteArray Frame(const char* id, const QString& text) {
    return V2Text(id, Gbk(text));
}

class Mp3InfoDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
    }
    void TearDown() override { SetProgramFolder({}); }

    QString write(const QString& name, const QByteArray& bytes) {
        WriteBytes(dir.filePath(name), bytes);
        return name;
    }

    QTemporaryDir dir;
};

TEST_F(Mp3InfoDialog, FileWithBothTagsFillsAllNineteenValuesAndKeepsPresentMarks) {
    const QByteArray v2 = V2Tag(
        Frame("TIT2", QStringLiteral("月亮代表我的心")) + Frame("TPE1", QStringLiteral("邓丽君")) +
        Frame("TALB", QStringLiteral("岛国之情歌")) + Frame("TYER", QStringLiteral("1977")) +
        Frame("TCON", QStringLiteral("(17)")) + Frame("TRCK", QStringLiteral("03")) +
        // encoding, language, empty description, text
        V2Frame("COMM", QByteArray("\0chi\0", 5) + Gbk(QStringLiteral("经典老歌"))) +
        Frame("TCOM", QStringLiteral("汤尼")) + Frame("TOPE", QStringLiteral("原唱者")) +
        Frame("TCOP", QStringLiteral("版权所有")) +
        Frame("WXXX", QStringLiteral("http://example.com/")) +
        Frame("TENC", QStringLiteral("编码器")));
    const QByteArray v1 =
        V1Bytes(Gbk(QStringLiteral("月亮代表我的心")), Gbk(QStringLiteral("邓丽君")),
                Gbk(QStringLiteral("岛国之情歌")), "1977", Gbk(QStringLiteral("经典老歌")), 3, 17);
    const QString name = write(QStringLiteral("月亮代表我的心.mp3"), v2 + Audio(2000) + v1);

    frmMp3Info dialog(dir.path(), name);

    auto* area = dialog.findChild<QGroupBox*>(QStringLiteral("fraTagEditArea"));
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->title(), dir.path() + QStringLiteral("/月亮代表我的心.mp3"));

    EXPECT_EQ(Value(dialog, "labSongTitle"), QStringLiteral("月亮代表我的心"));
    EXPECT_EQ(Value(dialog, "labArtist"), QStringLiteral("邓丽君"));
    EXPECT_EQ(Value(dialog, "labAlbum"), QStringLiteral("岛国之情歌"));
    EXPECT_EQ(Value(dialog, "labYear"), QStringLiteral("1977"));
    EXPECT_EQ(Value(dialog, "labGenre"), QStringLiteral("Rock"));
    EXPECT_EQ(Value(dialog, "labTrackID"), QStringLiteral("3"));
    EXPECT_EQ(Value(dialog, "labComment"), QStringLiteral("经典老歌"));

    EXPECT_EQ(Value(dialog, "labTIT2"), QStringLiteral("月亮代表我的心"));
    EXPECT_EQ(Value(dialog, "labTPE1"), QStringLiteral("邓丽君"));
    EXPECT_EQ(Value(dialog, "labTALB"), QStringLiteral("岛国之情歌"));
    EXPECT_EQ(Value(dialog, "labTYER"), QStringLiteral("1977"));
    EXPECT_EQ(Value(dialog, "labTCON"), QStringLiteral("(17)"));
    EXPECT_EQ(Value(dialog, "labTRCK"), QStringLiteral("03"));
    EXPECT_EQ(Value(dialog, "labCOMM"), QStringLiteral("经典老歌"));
    EXPECT_EQ(Value(dialog, "labTCOM"), QStringLiteral("汤尼"));
    EXPECT_EQ(Value(dialog, "labTOPE"), QStringLiteral("原唱者"));
    EXPECT_EQ(Value(dialog, "labTCOP"), QStringLiteral("版权所有"));
    EXPECT_EQ(Value(dialog, "labWXXX"), QStringLiteral("http://example.com/"));
    EXPECT_EQ(Value(dialog, "labTENC"), QStringLiteral("编码器"));

    EXPECT_EQ(Value(dialog, "txtFileName"), QStringLiteral("月亮代表我的心.mp3"));
    EXPECT_EQ(Value(dialog, "txtPath"), dir.path());

    for (int tab = 0; tab < 3; ++tab) EXPECT_TRUE(ShowsMark(dialog, tab, ReadyMarkPixmap())) << tab;
}

TEST_F(Mp3InfoDialog, FileWithNeitherTagShowsAbsentMarksEmptyTagPagesAndItsFacts) {
    const QString name = write(QStringLiteral("bare.mp3"), Audio(4096));

    frmMp3Info dialog(dir.path(), name);

    for (const char* value : kPage1Values) EXPECT_EQ(Value(dialog, value), QString()) << value;
    for (const char* value : kPage2Values) EXPECT_EQ(Value(dialog, value), QString()) << value;
    EXPECT_TRUE(ShowsMark(dialog, 0, BlockedMarkPixmap()));
    EXPECT_TRUE(ShowsMark(dialog, 1, BlockedMarkPixmap()));
    EXPECT_TRUE(ShowsMark(dialog, 2, ReadyMarkPixmap()));
    EXPECT_EQ(Value(dialog, "txtFileName"), QStringLiteral("bare.mp3"));
    EXPECT_EQ(Value(dialog, "txtPath"), dir.path());
    EXPECT_EQ(Value(dialog, "txtFileSize"), QStringLiteral("4096 字节"));
    EXPECT_EQ(Value(dialog, "txtReadOnly"), QStringLiteral("否"));
    EXPECT_EQ(Value(dialog, "txtArchive"), QStringLiteral("否"));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("labProblem")), nullptr);
}

TEST_F(Mp3InfoDialog, OnlyTheMissingTagGetsTheAbsentMark) {
    const QString v1Only = write(QStringLiteral("v1.mp3"), Audio(500) + V1Bytes("Song"));
    const QString v2Only =
        write(QStringLiteral("v2.mp3"), V2Tag(V2Text("TIT2", "Song")) + Audio(500));

    frmMp3Info withV1(dir.path(), v1Only);
    EXPECT_TRUE(ShowsMark(withV1, 0, ReadyMarkPixmap()));
    EXPECT_TRUE(ShowsMark(withV1, 1, BlockedMarkPixmap()));
    frmMp3Info withV2(dir.path(), v2Only);
    EXPECT_TRUE(ShowsMark(withV2, 0, BlockedMarkPixmap()));
    EXPECT_TRUE(ShowsMark(withV2, 1, ReadyMarkPixmap()));
    EXPECT_EQ(Value(withV2, "labTIT2"), QStringLiteral("Song"));
}

TEST_F(Mp3InfoDialog, GenreByteShowsItsNameAndNumbersPastTheTableShowOther) {
    const struct {
        quint8 genre;
        const char* shown;
    } cases[] = {{0, "Blues"}, {79, "Hard Rock"}, {80, "Other"}, {255, "Other"}, {12, "Other"}};
    for (const auto& c : cases) {
        const QString name = write(QStringLiteral("g%1.mp3").arg(c.genre),
                                   Audio(300) + V1Bytes("t", {}, {}, {}, {}, 0, c.genre));
        frmMp3Info dialog(dir.path(), name);
        EXPECT_EQ(Value(dialog, "labGenre"), QString::fromLatin1(c.shown)) << int(c.genre);
    }
}

TEST_F(Mp3InfoDialog, TrackAndTextsShowWithoutPaddingButID3v2KeepsItsBlanks) {
    const QByteArray v2 = V2Tag(V2Text("TIT2", "Title ") + V2Text("TPE1", " Lead"));
    const QByteArray v1 = V1Bytes("  Padded title", "Artist", {}, "99", {}, 7, 0, ' ');
    const QString name = write(QStringLiteral("pad.mp3"), v2 + Audio(300) + v1);

    frmMp3Info dialog(dir.path(), name);

    EXPECT_EQ(Value(dialog, "labTrackID"), QStringLiteral("7"));
    EXPECT_EQ(Value(dialog, "labSongTitle"), QStringLiteral("Padded title"));
    EXPECT_EQ(Value(dialog, "labYear"), QStringLiteral("99"));
    EXPECT_EQ(Value(dialog, "labTIT2"), QStringLiteral("Title "));
    EXPECT_EQ(Value(dialog, "labTPE1"), QStringLiteral(" Lead"));
}

TEST_F(Mp3InfoDialog, AnID3v10TagShowsNoTrackAndItsWholeComment) {
    const QByteArray v1 = V10Bytes(
        "t", "", "", "", "abcdefghijklmnopqrstuvwxyz0" + Gbk(QStringLiteral("段")) + "!", 1);
    const QString name = write(QStringLiteral("old.mp3"), Audio(300) + v1);

    frmMp3Info dialog(dir.path(), name);

    EXPECT_EQ(Value(dialog, "labTrackID"), QString());
    EXPECT_EQ(Value(dialog, "labComment"), QStringLiteral("abcdefghijklmnopqrstuvwxyz0段!"));
}

TEST_F(Mp3InfoDialog, ID3v1TextsShowUpToTheFirstNulAndID3v2ValueListsJoined) {
    // ID3v1 padded with NULs by another tagger; a v2 frame holding two values.
    const QByteArray v1 = V1Bytes("Nul padded", "Band", {}, {}, {}, 0, 0, '\0');
    const QByteArray v2 = V2Tag(V2Text("TALB", QByteArray("Album\0junk", 10)));
    const QString name = write(QStringLiteral("nul.mp3"), v2 + Audio(300) + v1);

    frmMp3Info dialog(dir.path(), name);

    EXPECT_EQ(Value(dialog, "labSongTitle"), QStringLiteral("Nul padded"));
    EXPECT_EQ(Value(dialog, "labArtist"), QStringLiteral("Band"));
    EXPECT_EQ(Value(dialog, "labAlbum"), QString());
    EXPECT_EQ(Value(dialog, "labTALB"), QStringLiteral("Album/junk"));
}

TEST_F(Mp3InfoDialog, TagTextIsShownAsPlainTextNeverAsMarkup) {
    const QString name =
        write(QStringLiteral("markup.mp3"), V2Tag(V2Text("TIT2", "<b>bold</b>")) + Audio(100));
    frmMp3Info dialog(dir.path(), name);
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("labTIT2"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), QStringLiteral("<b>bold</b>"));
}

TEST_F(Mp3InfoDialog, SizeAndAttributesOfTheFile) {
    const QString name = write(QStringLiteral("big.mp3"), Audio(4194304));
    SetReadOnly(dir.filePath(name), true);

    frmMp3Info dialog(dir.path(), name);

    EXPECT_EQ(Value(dialog, "txtFileSize"), QStringLiteral("4194304 字节"));
    EXPECT_EQ(Value(dialog, "txtReadOnly"), QStringLiteral("是"));
    EXPECT_EQ(Value(dialog, "txtArchive"), QStringLiteral("否"));
}

// The captions of a page, top to bottom (the first column of its grid).
QStringList PageCaptions(const frmMp3Info& dialog, int page) {
    QStringList captions;
    auto* grid = qobject_cast<QGridLayout*>(dialog.fraTabs(page)->layout());
    EXPECT_NE(grid, nullptr);
    for (int row = 0; grid && row < grid->rowCount(); ++row) {
        QLayoutItem* item = grid->itemAtPosition(row, 0);
        auto* label = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
        if (!label || label->objectName() == QLatin1String("labProblem"))
            continue;
        captions << label->text();
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 0))
            << label->text().toStdString();
    }
    return captions;
}

// Every fixed text and colour of the face, as one table: the captions of
// each page in order (black), the values' colours (dark blue, comments
// navy), and each tab's caption, key and tooltip.
TEST_F(Mp3InfoDialog, FaceShowsItsFixedTextsAndColours) {
    const QString name = write(QStringLiteral("c.mp3"), Audio(300) + V1Bytes("t"));
    frmMp3Info dialog(dir.path(), name);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Mp3 文件的详细信息"));

    const QStringList tagCaptions = {QStringLiteral("歌    名 ："), QStringLiteral("艺 术 家 ："),
                                     QStringLiteral("专    辑 ："), QStringLiteral("年    份 ："),
                                     QStringLiteral("类    别 ："), QStringLiteral("曲目编号 ："),
                                     QStringLiteral("备    注 ：")};
    const QStringList pages[] = {
        tagCaptions,
        tagCaptions + QStringList{QStringLiteral("作    曲 ："), QStringLiteral("原    创 ："),
                                  QStringLiteral("版    权 ："), QStringLiteral("链    接 ："),
                                  QStringLiteral("编 码 者 ："), QStringLiteral("专辑艺术家 ："),
                                  QStringLiteral("碟    号 ："), QStringLiteral("歌    词 ："),
                                  QStringLiteral("封    面 ：")},
        {QStringLiteral("文 件 名 ："), QStringLiteral("路 径 名 ："),
         QStringLiteral("文件大小 ："), QStringLiteral("是否只读 ："),
         QStringLiteral("是否存档 ："), QStringLiteral("文件内容 ："),
         QStringLiteral("时    长 ："), QStringLiteral("比 特 率 ："),
         QStringLiteral("采 样 率 ："), QStringLiteral("声    道 ："),
         QStringLiteral("格    式 ：")},
    };
    for (int page = 1; page <= 3; ++page)
        EXPECT_EQ(PageCaptions(dialog, page), pages[page - 1]) << page;

    const QColor blue(0, 0, 192), navy(0, 0, 128);
    const struct {
        const char* value;
        QColor colour;
    } colours[] = {{"labSongTitle", blue}, {"labComment", navy}, {"labTIT2", blue},
                   {"labCOMM", navy},      {"labTENC", blue},    {"txtFileName", blue},
                   {"txtArchive", blue}};
    for (const auto& c : colours) EXPECT_EQ(TextColour(dialog, c.value), c.colour) << c.value;

    QTabWidget* tabs = Tabs(dialog);
    ASSERT_EQ(tabs->count(), 3);
    const struct {
        const char* caption;
        const char* key;
        const char* tooltip;
    } expected[] = {{"ID3v1", "ID3v1", "修改 Mp3 第一版的标签"},
                    {"ID3v2", "ID3v2", "修改 Mp3 第二版的标签"},
                    {"文件其他属性", "File Name", "修改 Mp3 文件的文件名"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tabs->tabText(i), QString::fromUtf8(expected[i].caption));
        EXPECT_EQ(tabs->tabBar()->tabData(i).toString(), QString::fromUtf8(expected[i].key));
        EXPECT_EQ(tabs->tabToolTip(i), QString::fromUtf8(expected[i].tooltip));
        EXPECT_EQ(tabs->widget(i), dialog.fraTabs(i + 1));
    }
}

TEST_F(Mp3InfoDialog, OpensOnPageOneWithTheFocusOnClose) {
    const QString name = write(QStringLiteral("f.mp3"), Audio(300));
    frmMp3Info dialog(dir.path(), name);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    auto* close = dialog.findChild<QPushButton*>(QStringLiteral("cmdModifyID3v1"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("关闭（&C）"));
    EXPECT_EQ(dialog.focusWidget(), close);
    EXPECT_EQ(dialog.currentTab(), 1);
    EXPECT_EQ(Tabs(dialog)->currentIndex(), 0);
    EXPECT_TRUE(dialog.fraTabs(1)->isVisible());
    EXPECT_FALSE(dialog.fraTabs(2)->isVisible());
    EXPECT_FALSE(dialog.fraTabs(3)->isVisible());

    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(Mp3InfoDialog, ClickingTabsShowsExactlyThePageOfTheSelectedTab) {
    const QString name = write(QStringLiteral("p.mp3"), Audio(300));
    frmMp3Info dialog(dir.path(), name);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTabBar* bar = Tabs(dialog)->tabBar();
    auto click = [&](int tab) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab - 1).center());
    };
    auto shown = [&] {
        QList<int> visible;
        for (int i = 1; i <= 3; ++i)
            if (dialog.fraTabs(i)->isVisible())
                visible << i;
        return visible;
    };

    click(2);
    EXPECT_EQ(dialog.currentTab(), 2);
    EXPECT_EQ(shown(), QList<int>{2});
    click(2);
    EXPECT_EQ(dialog.currentTab(), 2);
    EXPECT_EQ(shown(), QList<int>{2});
    click(3);
    EXPECT_EQ(shown(), QList<int>{3});
    click(1);
    EXPECT_EQ(dialog.currentTab(), 1);
    EXPECT_EQ(shown(), QList<int>{1});
}

TEST_F(Mp3InfoDialog, EscapeClosesTheDialog) {
    const QString name = write(QStringLiteral("e.mp3"), Audio(300));
    frmMp3Info dialog(dir.path(), name);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(Mp3InfoDialog, ADamagedID3v2TagIsShownWithANoteThatItWillNotBeRewritten) {
    // The tag claims 4096 bytes; the file ends before.
    QByteArray bytes = V2Tag(V2Text("TIT2", "cut"));
    bytes[8] = 0x20;
    const QString name = write(QStringLiteral("cut.mp3"), bytes);

    frmMp3Info dialog(dir.path(), name);

    EXPECT_EQ(Value(dialog, "labTIT2"), QStringLiteral("cut"));
    EXPECT_EQ(dialog.fraTabs(1)->findChild<QLabel*>(QStringLiteral("labProblem")), nullptr);
    auto* note = dialog.fraTabs(2)->findChild<QLabel*>(QStringLiteral("labProblem"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().startsWith(QStringLiteral("这个 ID3v2 标签已损坏")));
}

TEST_F(Mp3InfoDialog, VanishedFileShowsItsNameAndSaysWhyTheRestIsMissing) {
    frmMp3Info dialog(dir.path(), QStringLiteral("gone.mp3"));

    EXPECT_EQ(Value(dialog, "txtFileName"), QStringLiteral("gone.mp3"));
    EXPECT_EQ(Value(dialog, "txtPath"), dir.path());
    EXPECT_EQ(Value(dialog, "txtFileSize"), QString());
    for (const char* value : kPage1Values) EXPECT_EQ(Value(dialog, value), QString()) << value;
    EXPECT_TRUE(ShowsMark(dialog, 0, BlockedMarkPixmap()));
    EXPECT_TRUE(ShowsMark(dialog, 1, BlockedMarkPixmap()));
    for (int page = 1; page <= 3; ++page) {
        auto* note = dialog.fraTabs(page)->findChild<QLabel*>(QStringLiteral("labProblem"));
        ASSERT_NE(note, nullptr) << page;
        EXPECT_TRUE(note->text().startsWith(QStringLiteral("这个文件无法读取"))) << page;
    }
}

}  // namespace

TEST_F(Mp3InfoDialog, TheCoverShowsScaledWithItsSizeInPixelsAndBytes) {
    QImage image(600, 300, QImage::Format_RGB32);
    image.fill(QColor(30, 90, 200));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "JPEG"));
    const QByteArray pictures = V2Frame("APIC", ApicPayload("image/png", 4, PngStart(9, 9))) +
                                V2Frame("APIC", ApicPayload("image/jpeg", 3, jpeg));
    const struct {
        const char* label;
        QByteArray tag;
        QString facts;  // empty: "无"
    } cases[] = {
        {"front cover", V2Tag(V2Text("TIT2", "t") + pictures),
         QStringLiteral("600×300 像素\n%1 字节").arg(QLocale(QLocale::C).toString(jpeg.size()))},
        {"no picture", V2Tag(V2Text("TIT2", "t")), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QString name = write(QStringLiteral("cover.mp3"), c.tag + Audio(500));
        frmMp3Info dialog(dir.path(), name);
        auto* facts = dialog.findChild<QLabel*>(QStringLiteral("labCover"));
        auto* picture = dialog.findChild<QLabel*>(QStringLiteral("labCoverImage"));
        if (c.facts.isEmpty()) {
            EXPECT_EQ(facts, nullptr);
            EXPECT_EQ(picture, nullptr);
            continue;
        }
        ASSERT_NE(facts, nullptr);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(facts->text(), c.facts);
        // Scaled into its box, the aspect kept.
        EXPECT_EQ(picture->pixmap().size(), QSize(96, 48));
    }
}

// Each text not stored as Unicode names the code page it was read in beside
// its value; Unicode and ASCII texts name none, and Unicode text that is
// Chinese bytes read as Latin-1 by another program is marked.
TEST_F(Mp3InfoDialog, LegacyTextsNameTheCodePageTheyWereReadIn) {
    QByteArray utf16Mojibake("\x01\xFF\xFE", 3);  // encoding 1, mark, "ÆßÀïÏã"
    for (const char c : QByteArray("\xC6\xDF\xC0\xEF\xCF\xE3"))
        utf16Mojibake += c + QByteArray(1, 0);
    QByteArray utf16("\x01\xFF\xFE", 3);  // "周杰伦"
    utf16 += QByteArray("\x68\x54\x70\x67\x26\x4F", 6);
    const QByteArray v2 = V2Tag(Frame("TIT2", QStringLiteral("七里香")) + V2Frame("TPE1", utf16) +
                                V2Frame("TALB", utf16Mojibake) + V2Text("TYER", "2004"));
    const QByteArray v1 = V1Bytes("Test", "\xA9\x50\xAA\x4E\xAD\xDB",  // 周杰倫 in Big5
                                  "\xE5\xA4\x9C\xE6\x9B\xB2",          // 夜曲 in UTF-8
                                  "2004", {}, 1, 0, '\0');
    const QString name = write(QStringLiteral("jay.mp3"), v2 + Audio(2000) + v1);
    frmMp3Info dialog(dir.path(), name);

    const struct {
        const char* value;
        QString codePage;  // empty: no code page shown
    } cases[] = {
        {"labSongTitle", {}},
        {"labArtist", QStringLiteral("Big5")},
        {"labAlbum", QStringLiteral("UTF-8(旧)")},
        {"labYear", {}},
        {"labTIT2", QStringLiteral("GBK")},
        {"labTPE1", {}},
        {"labTALB", QStringLiteral("乱码?")},
        {"labTYER", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        auto* label =
            dialog.findChild<QLabel*>(QString::fromLatin1(c.value) + QStringLiteral("CodePage"));
        EXPECT_EQ(label ? label->text() : QString(), c.codePage);
    }
    EXPECT_EQ(Value(dialog, "labArtist"), QStringLiteral("周杰倫"));
    EXPECT_EQ(Value(dialog, "labTPE1"), QStringLiteral("周杰伦"));
}
