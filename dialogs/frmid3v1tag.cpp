#include "dialogs/frmid3v1tag.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>

#include "store/id3v1.h"
#include "ui/prompter.h"

namespace {

QLineEdit* ByteLimitedBox(int width, const QString& name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMaxLength(width);
    box->setValidator(new CP936WidthValidator(width, box));
    return box;
}

}  // namespace

frmID3v1Tag::frmID3v1Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                         QWidget* parent)
    : TagEditorDialog(files, FillListFlag, prompter, parent) {
    chkFileName2Title_ = new QCheckBox(FileName2TitleCaption(), this);
    chkFileName2Title_->setObjectName(QStringLiteral("chkFileName2Title"));

    txtSongTitle_ = ByteLimitedBox(kTitleWidth, QStringLiteral("txtSongTitle"), this);
    txtArtist_ = ByteLimitedBox(kArtistWidth, QStringLiteral("txtArtist"), this);
    txtAlbum_ = ByteLimitedBox(kAlbumWidth, QStringLiteral("txtAlbum"), this);
    txtYear_ = ByteLimitedBox(kYearWidth, QStringLiteral("txtYear"), this);
    txtYear_->setFixedWidth(64);
    txtComment_ = TwoLineBox(this);
    txtComment_->setObjectName(QStringLiteral("txtComment"));
    LimitPlainText(txtComment_, kCommentWidth);
    comGenre_ = GenreList(QStringLiteral("comGenre"), this);
    txtTrackID_ = new QLineEdit(this);
    txtTrackID_->setObjectName(QStringLiteral("txtTrackID"));
    txtTrackID_->setMaxLength(2);
    txtTrackID_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,2}")), txtTrackID_));
    txtTrackID_->setFixedWidth(48);

    labByteCount_ = new QLabel(this);
    labByteCount_->setObjectName(QStringLiteral("labByteCount"));
    labByteCount_->setTextFormat(Qt::PlainText);
    labByteCount_->setWordWrap(true);
    labByteCount_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Two lines are kept free, so that the rows above never move.
    labByteCount_->setFixedHeight(2 * labByteCount_->fontMetrics().lineSpacing() + 2);

    // Screen order: the comment row stands above the genre row.
    buildFace(QStringLiteral("修改 Mp3 标签第一版（ID3v1）"),
              QStringLiteral("要修改它们的 ID3v1 标签。"), {chkFileName2Title_}, chkFileName2Title_,
              {
                  {kV1Title, QStringLiteral("歌    名"), txtSongTitle_},
                  {kV1Artist, QStringLiteral("艺 术 家"), txtArtist_},
                  {kV1Album, QStringLiteral("专    辑"), txtAlbum_},
                  {kV1Year, QStringLiteral("年    份"), txtYear_},
                  {kV1Comment, QStringLiteral("备    注"), txtComment_},
                  {kV1Genre, QStringLiteral("类   别"), comGenre_},
                  {kV1Track, QStringLiteral("曲目编号"), txtTrackID_},
              },
              QStringLiteral("chkEdit"), 7, QStringLiteral("cmdModifyID3v1"), QSize(429, 399),
              labByteCount_);

    for (QLineEdit* box : {txtSongTitle_, txtArtist_, txtAlbum_, txtYear_}) {
        connect(box, &QLineEdit::textChanged, this, [this, box] {
            editedRow_ = textRow(box);
            showByteCount();
        });
    }
    connect(txtComment_, &QPlainTextEdit::textChanged, this, [this] {
        editedRow_ = kV1Comment;
        showByteCount();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (const int row = textRow(now); row >= 0) {
            editedRow_ = row;
            showByteCount();
        }
    });
    // Ticking decides which texts count.
    for (int index = 0; index < kID3v1RowCount; ++index)
        connect(chkEdit(index), &QCheckBox::toggled, this, &frmID3v1Tag::showByteCount);
    connect(chkFileName2Title_, &QCheckBox::clicked, this, &frmID3v1Tag::showByteCount);
    showByteCount();
}

int frmID3v1Tag::textRow(const QWidget* input) const {
    for (int row : {kV1Title, kV1Artist, kV1Album, kV1Year, kV1Comment}) {
        if (input && input == this->input(row))
            return row;
    }
    return -1;
}

QString frmID3v1Tag::rowText(int row) const {
    if (row == kV1Comment)
        return txtComment_->toPlainText();
    return qobject_cast<QLineEdit*>(input(row))->text();
}

void frmID3v1Tag::showByteCount() {
    const QStringList problems = ID3v1EditProblems(edit());
    QPalette palette = labByteCount_->palette();
    palette.setColor(QPalette::WindowText,
                     problems.isEmpty() ? QColor(0, 0, 255) : QColor(192, 0, 0));
    labByteCount_->setPalette(palette);
    // The first problem only: the refusal at OK names them all.
    if (!problems.isEmpty()) {
        labByteCount_->setText(problems.first());
        return;
    }
    const bool counted = editedRow_ >= 0 && chkEdit(editedRow_)->isChecked() &&
                         !(editedRow_ == kV1Title && FileName2TitleFlag());
    if (!counted) {
        labByteCount_->setText(
            QStringLiteral("ID3v1 标签按 GBK 字节计：歌名、艺术家、专辑各 30 字节，"
                           "年份 4 字节，备注 28 字节；一个汉字占 2 字节。"));
        return;
    }
    labByteCount_->setText(ID3v1FieldName(editedRow_) + QStringLiteral("：已用 %1 / %2 字节")
                                                            .arg(CP936Length(rowText(editedRow_)))
                                                            .arg(ID3v1FieldWidth(editedRow_)));
}

std::optional<ReportMessage> frmID3v1Tag::refusal() const {
    const QStringList problems = ID3v1EditProblems(edit());
    if (problems.isEmpty())
        return std::nullopt;
    return RefusedID3v1EditMessage(problems);
}

ID3v1Edit frmID3v1Tag::edit() const {
    ID3v1Edit edit;
    for (int index = 0; index < kID3v1RowCount; ++index) {
        edit.ticked[size_t(index)] = chkEdit(index)->isChecked();
    }
    edit.titleFromFileName = FileName2TitleFlag();
    edit.title = txtSongTitle_->text();
    edit.artist = txtArtist_->text();
    edit.album = txtAlbum_->text();
    edit.year = txtYear_->text();
    edit.comment = txtComment_->toPlainText();
    edit.genre = comGenre_->currentIndex();
    edit.track = TrackFromText(txtTrackID_->text());
    return edit;
}

EditReport frmID3v1Tag::runEdit(const TickedFiles& files, const BatchOptions& options) {
    return RunID3v1Edit(files, edit(), options);
}
