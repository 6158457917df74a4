#include "dialogs/frmid3v2tag.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/prompter.h"
#include "store/id3v1.h"

frmID3v2Tag::frmID3v2Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                         QWidget* parent)
    : TagEditorDialog(files, FillListFlag, prompter, parent) {
    chkFromv1_ = new QCheckBox(QStringLiteral("从 ID3v1 标签复制相同内容"), this);
    chkFromv1_->setObjectName(QStringLiteral("chkFromv1"));
    chkFileName2TitleV2_ = new QCheckBox(FileName2TitleCaption(), this);
    chkFileName2TitleV2_->setObjectName(QStringLiteral("chkFileName2TitleV2"));

    // Screen order: the track row stands above the comment row.
    struct Row {
        int index;
        const char* caption;
        int limit;  // characters; 0 for the genre list
    };
    const Row rows[] = {
        {kV2TIT2, "歌    名", 30}, {kV2TPE1, "艺 术 家", 30}, {kV2TALB, "专    辑", 30},
        {kV2TYER, "年    份", 4},  {kV2TCON, "类    别", 0},  {kV2TRCK, "曲目编号", 2},
        {kV2COMM, "备    注", 28}, {kV2TCOM, "作    曲", 30}, {kV2TOPE, "原    创", 30},
        {kV2TCOP, "版    权", 30}, {kV2WXXX, "链    接", 30}, {kV2TENC, "编 码 者", 30},
    };
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    grid->addWidget(chkFromv1_, 0, 0, 1, 2);
    grid->addWidget(chkFileName2TitleV2_, 1, 0, 1, 2);
    setTabOrder(chkFromv1_, chkFileName2TitleV2_);
    QWidget* previous = chkFileName2TitleV2_;
    for (int line = 0; line < kID3v2RowCount; ++line) {
        const Row& row = rows[line];
        const QString frame = ID3v2RowFrameIds()[size_t(row.index)];
        QWidget* input = nullptr;
        if (row.index == kV2TCON) {
            combTCON_ = new QComboBox(this);
            combTCON_->addItems(GenreNames());
            combTCON_->setCurrentIndex(12);
            combTCON_->setMaxVisibleItems(16);
            combTCON_->setFixedWidth(180);
            input = combTCON_;
        } else if (row.index == kV2COMM) {
            QPlainTextEdit* box = TwoLineBox(this);
            LimitPlainText(box, row.limit, CharacterLength);
            input = box;
        } else {
            auto* box = new QLineEdit(this);
            box->setMaxLength(row.limit);
            if (row.limit <= 4)
                box->setFixedWidth(row.limit == 4 ? 64 : 48);
            input = box;
        }
        input->setObjectName(
            (row.index == kV2TCON ? QStringLiteral("comb") : QStringLiteral("txt")) + frame);
        QCheckBox* check = addRow(grid, line + 2, QString::fromUtf8(row.caption), row.index,
                                  QStringLiteral("chkEdit2"), input);
        chkEdit2_[size_t(row.index)] = check;
        inputs_[size_t(row.index)] = input;
        connect(check, &QCheckBox::clicked, this,
                [this, index = row.index] { editClicked(index); });
        setTabOrder(previous, check);
        setTabOrder(check, input);
        previous = input;
    }
    grid->setColumnStretch(1, 1);
    connect(chkFromv1_, &QCheckBox::clicked, this, &frmID3v2Tag::fromV1Clicked);
    connect(chkFileName2TitleV2_, &QCheckBox::clicked, this, &frmID3v2Tag::fileName2TitleClicked);

    buildFace(QStringLiteral("修改 Mp3 标签第二版（ID3v2）"),
              QStringLiteral("要修改它们的 ID3v2 标签。"), grid, QStringLiteral("cmdModifyID3v2"),
              QSize(423, 503));
    setTabOrder(previous, findChild<QWidget*>(QStringLiteral("cmdModifyID3v2")));

    // One typed title is not offered for several files.
    if (CheckedCount() > 1)
        chkEdit2_[kV2TIT2]->setEnabled(false);
    FileName2TitleFlag_ = false;
}

void frmID3v2Tag::editClicked(int index) {
    inputs_[size_t(index)]->setEnabled(chkEdit2_[size_t(index)]->isChecked());
}

void frmID3v2Tag::fileName2TitleClicked() {
    FileName2TitleFlag_ = chkFileName2TitleV2_->isChecked();
    QCheckBox* title = chkEdit2_[kV2TIT2];
    title->setChecked(FileName2TitleFlag_);
    title->setEnabled(!FileName2TitleFlag_ && CheckedCount() == 1);
    inputs_[kV2TIT2]->setEnabled(false);
}

void frmID3v2Tag::fromV1Clicked() {
    // The file-name box keeps its tick and FileName2TitleFlag either way, so
    // after unticking the copy, titles still come from file names while row 0
    // shows unticked.
    const bool copy = chkFromv1_->isChecked();
    chkFileName2TitleV2_->setEnabled(!copy);
    for (int index = 0; index < kID3v2FromV1Rows; ++index) {
        QCheckBox* check = chkEdit2_[size_t(index)];
        check->setChecked(copy);
        check->setEnabled(!copy && (index != kV2TIT2 || CheckedCount() == 1));
        inputs_[size_t(index)]->setEnabled(false);
    }
}

QString frmID3v2Tag::inputText(int index) const {
    QWidget* input = inputs_[size_t(index)];
    if (auto* line = qobject_cast<QLineEdit*>(input))
        return line->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(input))
        return box->toPlainText();
    return combTCON_->currentText();  // the genre's name, not its number
}

ID3v2Edit frmID3v2Tag::edit() const {
    ID3v2Edit edit;
    for (int index = 0; index < kID3v2RowCount; ++index) {
        edit.ticked[size_t(index)] = chkEdit2_[size_t(index)]->isChecked();
        edit.texts[size_t(index)] = inputText(index);
    }
    edit.fromV1 = chkFromv1_->isChecked();
    edit.titleFromFileName = FileName2TitleFlag_;
    return edit;
}

EditReport frmID3v2Tag::runEdit(const TickedFiles& files, const ProgressFn& progress) {
    return RunID3v2Edit(files, edit(), progress);
}
