#include "dialogs/frmid3v1tag.h"

#include <QCheckBox>
#include <QComboBox>
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
    txtYear_->setFixedWidth(64);
    txtComment_ = TwoLineBox(this);
    txtComment_->setObjectName(QStringLiteral("txtComment"));
    LimitPlainText(txtComment_, kCommentWidth, CP936Length);
    comGenre_ = GenreList(QStringLiteral("comGenre"), this);
    txtTrackID_ = new QLineEdit(this);
    txtTrackID_->setObjectName(QStringLiteral("txtTrackID"));
    txtTrackID_->setMaxLength(2);
    txtTrackID_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,2}")), txtTrackID_));
    txtTrackID_->setFixedWidth(48);

    // Screen order: the comment row stands above the genre row.
    buildFace(QStringLiteral("修改 Mp3 标签第一版（ID3v1）"),
              QStringLiteral("要修改它们的 ID3v1 标签。"), {chkFileName2Title_}, chkFileName2Title_,
              {
                  {kV1Title, "歌    名", txtSongTitle_},
                  {kV1Artist, "艺 术 家", txtArtist_},
                  {kV1Album, "专    辑", txtAlbum_},
                  {kV1Year, "年    份", txtYear_},
                  {kV1Comment, "备    注", txtComment_},
                  {kV1Genre, "类   别", comGenre_},
                  {kV1Track, "曲目编号", txtTrackID_},
              },
              QStringLiteral("chkEdit"), 7, QStringLiteral("cmdModifyID3v1"), QSize(429, 399));
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

EditReport frmID3v1Tag::runEdit(const TickedFiles& files, const ProgressFn& progress) {
    return RunID3v1Edit(files, edit(), progress);
}
