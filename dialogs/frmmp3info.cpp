#include "dialogs/frmmp3info.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <iterator>
#include <vector>

#include "batch/fileinfo.h"
#include "ui/font.h"
#include "ui/marks.h"

namespace {

const QColor kCaptionColour(0, 0, 0);
const QColor kValueColour(0, 0, 192);
const QColor kCommentColour(0, 0, 128);
const QColor kProblemColour(160, 0, 0);
const QColor kCodePageColour(112, 112, 112);

enum class Shape {
    Line,     // one line; a longer text is cut at the edge and shown whole as tooltip
    Lines2,   // two lines high, wrapping anywhere (file names, folders)
    Comment,  // several lines high, scrolling when the text is longer
};

struct Row {
    const char* caption;
    const char* object;
    QString FileInfo::*value;
    Shape shape = Shape::Line;
};

// A row as a page shows it.
struct Line {
    QString caption;
    QString object;
    QString text;
    Shape shape;
    QString codePage = {};  // how the text was stored, when not Unicode
};

template <size_t N>
std::vector<Line> Lines(const Row (&rows)[N], const FileInfo& info) {
    std::vector<Line> lines;
    for (const Row& r : rows)
        lines.push_back(
            {QString::fromUtf8(r.caption), QString::fromLatin1(r.object), info.*r.value, r.shape});
    return lines;
}

const Row kPage1[] = {
    {"歌    名 ：", "labSongTitle", &FileInfo::SongTitle},
    {"艺 术 家 ：", "labArtist", &FileInfo::Artist},
    {"专    辑 ：", "labAlbum", &FileInfo::Album},
    {"年    份 ：", "labYear", &FileInfo::Year},
    {"类    别 ：", "labGenre", &FileInfo::Genre},
    {"曲目编号 ：", "labTrackID", &FileInfo::TrackID},
    {"备    注 ：", "labComment", &FileInfo::Comment, Shape::Comment},
};

// Page 2 is the frame catalogue: the editor's caption and " ：", the label
// named after the frame ID.
std::vector<Line> Page2(const FileInfo& info) {
    std::vector<Line> lines;
    for (size_t i = 0; i < kFrameCatalogue.size(); ++i) {
        const FrameDescriptor& frame = kFrameCatalogue[i];
        lines.push_back(
            {QCoreApplication::translate("Frames", frame.caption) + QStringLiteral(" ："),
             QStringLiteral("lab") + QString::fromLatin1(frame.id), info.Frames[i],
             HasLanguage(frame.kind) ? Shape::Comment : Shape::Line, info.FrameCodePages[i]});
    }
    return lines;
}

const Row kPage3[] = {
    {"文 件 名 ：", "txtFileName", &FileInfo::FileName, Shape::Lines2},
    {"路 径 名 ：", "txtPath", &FileInfo::Path, Shape::Lines2},
    {"文件大小 ：", "txtFileSize", &FileInfo::FileSize},
    {"是否只读 ：", "txtReadOnly", &FileInfo::ReadOnly},
    {"是否存档 ：", "txtArchive", &FileInfo::Archive},
    {"文件内容 ：", "txtContent", &FileInfo::Content},
    {"时    长 ：", "txtDuration", &FileInfo::Duration},
    {"比 特 率 ：", "txtBitrate", &FileInfo::Bitrate},
    {"采 样 率 ：", "txtSampleRate", &FileInfo::SampleRate},
    {"声    道 ：", "txtChannelMode", &FileInfo::ChannelMode},
    {"格    式 ：", "txtVersionLayer", &FileInfo::VersionLayer},
};

struct TabFace {
    const char* caption;
    const char* key;
    const char* tooltip;
};

const TabFace kTabs[] = {
    {"ID3v1", "ID3v1", "修改 Mp3 第一版的标签"},
    {"ID3v2", "ID3v2", "修改 Mp3 第二版的标签"},
    {"文件其他属性", "File Name", "修改 Mp3 文件的文件名"},
};

// The captions line up by counted blanks, which needs half-width blanks
// beside full-width characters: the window font where it is installed, else
// a monospaced CJK face.
QFont CaptionFont() {
    QFont font = WindowFont();
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("Noto Sans Mono CJK SC")});
    return font;
}

void Colour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLabel* LineValue(const QString& text, const QColor& colour) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);  // tag text is never markup
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long ID3v2 text must not stretch the dialog across the screen.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setText(text);
    // The whole text as tooltip, for a text cut at the edge; a text of a few
    // thousand characters would fill the screen, so the tooltip stops early.
    constexpr int kTooltipLength = 200;
    if (text.size() > kTooltipLength)
        label->setToolTip(text.left(kTooltipLength) + QStringLiteral("…"));
    else if (!text.isEmpty())
        label->setToolTip(text);
    Colour(label, QPalette::WindowText, colour);
    return label;
}

QPlainTextEdit* BlockValue(const QString& text, const QColor& colour, int lines) {
    auto* box = new QPlainTextEdit;
    box->setReadOnly(true);
    box->setFrameShape(QFrame::NoFrame);
    box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setFocusPolicy(Qt::ClickFocus);
    box->document()->setDocumentMargin(0);
    box->setPlainText(text);
    box->viewport()->setAutoFillBackground(false);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::Base, Qt::transparent);
    box->setPalette(palette);
    // Measured in the dialog's font, which the box inherits once placed.
    const QFontMetrics metrics(WindowFont());
    box->setFixedHeight(metrics.lineSpacing() * lines + 6);
    box->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return box;
}

// The cover's row: the image scaled to a thumbnail beside its size in
// pixels and bytes; "无" without a picture, and words instead of the image
// when it cannot be decoded.
QWidget* CoverValue(const CoverPicture& cover) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!cover.present) {
        layout->addWidget(LineValue(QStringLiteral("无"), kValueColour), 1);
        return box;
    }
    constexpr int kThumbnail = 96;
    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("labCoverImage"));
    picture->setFixedSize(kThumbnail, kThumbnail);
    picture->setAlignment(Qt::AlignCenter);
    const QImage image = QImage::fromData(cover.image);
    QString facts;
    if (image.isNull()) {
        picture->setText(QStringLiteral("（无法显示）"));
        Colour(picture, QPalette::WindowText, kProblemColour);
    } else {
        picture->setPixmap(QPixmap::fromImage(
            image.scaled(kThumbnail, kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    const int width = cover.facts.width > 0 ? cover.facts.width : image.width();
    const int height = cover.facts.height > 0 ? cover.facts.height : image.height();
    if (width > 0 && height > 0)
        facts = QStringLiteral("%1×%2 像素\n").arg(width).arg(height);
    facts += QStringLiteral("%1 字节").arg(QLocale(QLocale::C).toString(cover.bytes));
    if (cover.type != kFrontCover)
        facts += QStringLiteral("\n（不是封面图，是文件中的第一张图片）");
    auto* text = new QLabel(facts);
    text->setObjectName(QStringLiteral("labCover"));
    text->setTextFormat(Qt::PlainText);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Colour(text, QPalette::WindowText, kValueColour);
    layout->addWidget(picture, 0, Qt::AlignTop);
    layout->addWidget(text, 1);
    return box;
}

QFrame* BuildPage(const std::vector<Line>& lines, const QString& problem,
                  QWidget* coverValue = nullptr) {
    auto* page = new QFrame;
    page->setObjectName(QStringLiteral("fraTabs"));
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    grid->setContentsMargins(14, 12, 14, 12);
    int row = 0;
    if (!problem.isEmpty()) {
        auto* note = new QLabel(problem);
        note->setObjectName(QStringLiteral("labProblem"));
        note->setTextFormat(Qt::PlainText);
        note->setWordWrap(true);
        note->setContentsMargins(0, 0, 0, 6);
        Colour(note, QPalette::WindowText, kProblemColour);
        grid->addWidget(note, row++, 0, 1, 2);
    }
    const QFont captionFont = CaptionFont();
    const int valueWidth = QFontMetrics(WindowFont()).horizontalAdvance(QChar(0x4E2D)) * 22;
    for (const Line& r : lines) {
        auto* caption = new QLabel(r.caption);
        caption->setFont(captionFont);
        Colour(caption, QPalette::WindowText, kCaptionColour);
        const QString& text = r.text;
        QWidget* value = nullptr;
        switch (r.shape) {
            case Shape::Line:
                value = LineValue(text, kValueColour);
                break;
            case Shape::Lines2:
                value = BlockValue(text, kValueColour, 2);
                break;
            case Shape::Comment:
                value = BlockValue(text, kCommentColour, 4);
                break;
        }
        value->setObjectName(r.object);
        value->setMinimumWidth(valueWidth);
        const Qt::Alignment captionAlign = r.shape == Shape::Line ? Qt::AlignVCenter : Qt::AlignTop;
        grid->addWidget(caption, row, 0, captionAlign);
        grid->addWidget(value, row, 1);
        // Legacy text says which code page it was read in, beside its value.
        if (!r.codePage.isEmpty()) {
            auto* codePage = new QLabel(r.codePage);
            codePage->setObjectName(r.object + QStringLiteral("CodePage"));
            codePage->setTextFormat(Qt::PlainText);
            Colour(codePage, QPalette::WindowText, kCodePageColour);
            grid->addWidget(codePage, row, 2, captionAlign);
        }
        ++row;
    }
    if (coverValue) {
        auto* caption = new QLabel(QStringLiteral("封    面 ："));
        caption->setFont(captionFont);
        Colour(caption, QPalette::WindowText, kCaptionColour);
        grid->addWidget(caption, row, 0, Qt::AlignTop);
        grid->addWidget(coverValue, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row, 1);
    return page;
}

// The frame whose caption is the file's full path. A deep folder would make
// the dialog as wide as the path; past a limit the caption is cut at the
// frame's edge instead and the tooltip shows it whole.
class PathFrame : public QGroupBox {
  public:
    explicit PathFrame(const QString& path) : QGroupBox(path) { setToolTip(path); }
    QSize minimumSizeHint() const override { return capped(QGroupBox::minimumSizeHint()); }
    QSize sizeHint() const override { return capped(QGroupBox::sizeHint()); }

  private:
    QSize capped(QSize size) const {
        const int widest = QFontMetrics(WindowFont()).horizontalAdvance(QChar(0x4E2D)) * 48;
        size.setWidth(
            qMin(size.width(), qMax(widest, layout() ? layout()->minimumSize().width() : 0)));
        return size;
    }
};

}  // namespace

frmMp3Info::frmMp3Info(const QString& folder, const QString& fileName, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmMp3Info"));
    setWindowTitle(QStringLiteral("Mp3 文件的详细信息"));
    setFont(WindowFont());

    const FileInfo info = ReadFileInfo(folder, fileName);

    fraTagEditArea = new PathFrame(info.FullPath);
    fraTagEditArea->setObjectName(QStringLiteral("fraTagEditArea"));
    tbsTagsEditing = new QTabWidget;
    tbsTagsEditing->setObjectName(QStringLiteral("tbsTagsEditing"));

    std::vector<Line> page1 = Lines(kPage1, info);
    // Title, artist, album, year, then the comment (the last row).
    for (size_t i = 0; i < 4; ++i) page1[i].codePage = info.ID3v1CodePages[i];
    page1.back().codePage = info.ID3v1CodePages[4];
    pages[0] = BuildPage(page1, info.TagsProblem);
    pages[1] =
        BuildPage(Page2(info), info.TagsProblem.isEmpty() ? info.ID3v2Problem : info.TagsProblem,
                  CoverValue(info.Cover));
    pages[2] = BuildPage(Lines(kPage3, info), info.FactsProblem);
    const bool present[] = {info.HasID3v1, info.HasID3v2, true};
    for (int i = 0; i < int(std::size(kTabs)); ++i) {
        pages[i]->setProperty("index", i + 1);
        tbsTagsEditing->addTab(pages[i], present[i] ? ReadyMark() : BlockedMark(),
                               QString::fromUtf8(kTabs[i].caption));
        tbsTagsEditing->tabBar()->setTabData(i, QString::fromUtf8(kTabs[i].key));
        tbsTagsEditing->setTabToolTip(i, QString::fromUtf8(kTabs[i].tooltip));
    }
    tbsTagsEditing->setCurrentIndex(0);
    // The tab strip raises the page of the selected tab and hides the one
    // shown before; CurrentTab follows it.
    connect(tbsTagsEditing, &QTabWidget::currentChanged, this,
            [this](int index) { CurrentTab = index + 1; });

    auto* areaLayout = new QVBoxLayout(fraTagEditArea);
    // A file that is not MP3 says so above the tabs, whichever page is shown.
    if (!info.ContentProblem.isEmpty()) {
        auto* note = new QLabel(info.ContentProblem);
        note->setObjectName(QStringLiteral("labContent"));
        note->setTextFormat(Qt::PlainText);
        note->setWordWrap(true);
        Colour(note, QPalette::WindowText, kProblemColour);
        areaLayout->addWidget(note);
    }
    areaLayout->addWidget(tbsTagsEditing);

    auto* support = new QLabel(QStringLiteral("Tamberlo —— Mp3 标签与文件名批量修改工具"));
    support->setObjectName(QStringLiteral("labSupport"));
    Colour(support, QPalette::WindowText, QColor(96, 96, 96));

    cmdModifyID3v1 = new QPushButton(QStringLiteral("关闭（&C）"));
    cmdModifyID3v1->setObjectName(QStringLiteral("cmdModifyID3v1"));
    cmdModifyID3v1->setDefault(true);
    connect(cmdModifyID3v1, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(support, 1);
    bottom->addWidget(cmdModifyID3v1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraTagEditArea, 1);
    layout->addLayout(bottom);

    // The close button comes first in the tab order and holds the focus at
    // opening, so Enter or Escape closes the dialog at once.
    setTabOrder(cmdModifyID3v1, tbsTagsEditing);
    cmdModifyID3v1->setFocus();
    CurrentTab = 1;
}

QFrame* frmMp3Info::fraTabs(int index) const {
    return index >= 1 && index <= 3 ? pages[index - 1] : nullptr;
}
