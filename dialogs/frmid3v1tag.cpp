#include "dialogs/frmid3v1tag.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>

#include "app/prompter.h"
#include "store/id3v1.h"

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
    txtComment_ = TwoLineBox(this);
    txtComment_->setObjectName(QStringLiteral("txtComment"));
    LimitPlainText(txtComment_, kCommentWidth, CP936Length);
    comGenre_ = new QComboBox(this);
    comGenre_->setObjectName(QStringLiteral("comGenre"));
    comGenre_->addItems(GenreNames());
    comGenre_->setCurrentIndex(12);
    comGenre_->setMaxVisibleItems(16);
    txtTrackID_ = new QLineEdit(this);
    txtTrackID_->setObjectName(QStringLiteral("txtTrackID"));
    txtTrackID_->setMaxLength(2);
    txtTrackID_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,2}")), txtTrackID_));

    txtYear_->setFixedWidth(64);
    txtTrackID_->setFixedWidth(48);
    comGenre_->setFixedWidth(180);

    // Screen order: the comment row stands above the genre row.
    struct Row {
        int index;
        const char* caption;
        QWidget* input;
    };
    const Row rows[] = {
        {kV1Title, "歌    名", txtSongTitle_}, {kV1Artist, "艺 术 家", txtArtist_},
        {kV1Album, "专    辑", txtAlbum_},     {kV1Year, "年    份", txtYear_},
        {kV1Comment, "备    注", txtComment_}, {kV1Genre, "类   别", comGenre_},
        {kV1Track, "曲目编号", txtTrackID_},
    };
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(7);
    grid->addWidget(chkFileName2Title_, 0, 0, 1, 2);
    QWidget* previous = chkFileName2Title_;
    for (int line = 0; line < kID3v1RowCount; ++line) {
        const Row& row = rows[line];
        QCheckBox* check = addRow(grid, line + 1, QString::fromUtf8(row.caption), row.index,
                                  QStringLiteral("chkEdit"), row.input);
        chkEdit_[size_t(row.index)] = check;
        inputs_[size_t(row.index)] = row.input;
        connect(check, &QCheckBox::clicked, this,
                [this, index = row.index] { editClicked(index); });
        setTabOrder(previous, check);
        setTabOrder(check, row.input);
        previous = row.input;
    }
    grid->setColumnStretch(1, 1);
    connect(chkFileName2Title_, &QCheckBox::clicked, this, &frmID3v1Tag::fileName2TitleClicked);

    buildFace(QStringLiteral("修改 Mp3 标签第一版（ID3v1）"),
              QStringLiteral("要修改它们的 ID3v1 标签。"), grid, QStringLiteral("cmdModifyID3v1"),
              QSize(429, 399));
    setTabOrder(previous, findChild<QWidget*>(QStringLiteral("cmdModifyID3v1")));

    // One typed title is not offered for several files.
    if (CheckedCount() > 1)
        chkEdit_[kV1Title]->setEnabled(false);
    FileName2TitleFlag_ = false;
}

void frmID3v1Tag::editClicked(int index) {
    inputs_[size_t(index)]->setEnabled(chkEdit_[size_t(index)]->isChecked());
}

void frmID3v1Tag::fileName2TitleClicked() {
    FileName2TitleFlag_ = chkFileName2Title_->isChecked();
    QCheckBox* title = chkEdit_[kV1Title];
    title->setChecked(FileName2TitleFlag_);
    title->setEnabled(!FileName2TitleFlag_ && CheckedCount() == 1);
    txtSongTitle_->setEnabled(false);
}

ID3v1Edit frmID3v1Tag::edit() const {
    ID3v1Edit edit;
    for (int index = 0; index < kID3v1RowCount; ++index) {
        edit.ticked[size_t(index)] = chkEdit_[size_t(index)]->isChecked();
    }
    edit.titleFromFileName = FileName2TitleFlag_;
    edit.title = txtSongTitle_->text();
    edit.artist = txtArtist_->text();
    edit.album = txtAlbum_->text();
    edit.year = txtYear_->text();
    edit.comment = txtComment_->toPlainText();
    edit.genre = comGenre_->currentIndex();
    edit.track = TrackFromText(txtTrackID_->text());
    return edit;
}

EditReport frmID3v1Tag::runEdit(const TickedFiles& files, const ProgressFn& progress) {
    return RunID3v1Edit(files, edit(), progress);
}
