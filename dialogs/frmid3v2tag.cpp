#include "dialogs/frmid3v2tag.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <limits>

#include "ui/prompter.h"

namespace {

// A frame text box. ID3v2 frames have no length of their own worth a limit,
// so a text box takes what the user types or pastes; only the year and the
// track keep short boxes (`limit` characters; a longer paste is cut there).
QLineEdit* FrameTextBox(const FrameDescriptor& frame, int limit, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QStringLiteral("txt") + QString::fromLatin1(frame.id));
    if (limit > 0) {
        box->setMaxLength(limit);
        box->setFixedWidth(limit == 4 ? 64 : 48);
    } else {
        box->setMaxLength(std::numeric_limits<int>::max());
    }
    return box;
}

}  // namespace

frmID3v2Tag::frmID3v2Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                         QWidget* parent)
    : TagEditorDialog(files, FillListFlag, prompter, parent) {
    chkFromv1_ = new QCheckBox(QStringLiteral("从 ID3v1 标签复制相同内容"), this);
    chkFromv1_->setObjectName(QStringLiteral("chkFromv1"));
    chkFileName2TitleV2_ = new QCheckBox(FileName2TitleCaption(), this);
    chkFileName2TitleV2_->setObjectName(QStringLiteral("chkFileName2TitleV2"));

    // One row per frame, in the catalogue's (screen) order.
    QList<Row> rows;
    for (const FrameDescriptor& frame : kFrameCatalogue) {
        QWidget* input = nullptr;
        switch (frame.input) {
            case FrameInput::Line:
                input = FrameTextBox(frame, 0, this);
                break;
            case FrameInput::Year:
                input = FrameTextBox(frame, 4, this);
                break;
            case FrameInput::Track:
                input = FrameTextBox(frame, 2, this);
                break;
            case FrameInput::Genre:
                combTCON_ = GenreList(QStringLiteral("comb") + QString::fromLatin1(frame.id), this);
                input = combTCON_;
                break;
            case FrameInput::Note: {
                QPlainTextEdit* note = TwoLineBox(this);
                note->setObjectName(QStringLiteral("txt") + QString::fromLatin1(frame.id));
                // A comment of any length reads better wrapped than scrolled sideways.
                note->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                input = note;
                break;
            }
        }
        rows.append({frame.editorRow, QCoreApplication::translate("Frames", frame.caption), input});
    }
    buildFace(QStringLiteral("修改 Mp3 标签第二版（ID3v2）"),
              QStringLiteral("要修改它们的 ID3v2 标签。"), {chkFromv1_, chkFileName2TitleV2_},
              chkFileName2TitleV2_, rows, QStringLiteral("chkEdit2"), 2,
              QStringLiteral("cmdModifyID3v2"), QSize(423, 503));
    connect(chkFromv1_, &QCheckBox::clicked, this, &frmID3v2Tag::fromV1Clicked);
}

void frmID3v2Tag::fromV1Clicked(bool ticked) {
    // The file-name box keeps its tick and FileName2TitleFlag either way, so
    // after unticking the copy, titles still come from file names while row 0
    // shows unticked.
    chkFileName2TitleV2_->setEnabled(!ticked);
    for (int index = 0; index < kID3v2FromV1Rows; ++index) {
        QCheckBox* check = chkEdit2(index);
        check->setChecked(ticked);
        check->setEnabled(!ticked && (index != kV2TitleRow || CheckedCount() == 1));
        input(index)->setEnabled(false);
    }
}

QString frmID3v2Tag::inputText(int index) const {
    QWidget* field = input(index);
    if (auto* line = qobject_cast<QLineEdit*>(field))
        return line->text();
    if (auto* box = qobject_cast<QPlainTextEdit*>(field))
        return box->toPlainText();
    return combTCON_->currentText();  // the genre's name, not its number
}

ID3v2Edit frmID3v2Tag::edit() const {
    ID3v2Edit edit;
    for (int index = 0; index < kID3v2RowCount; ++index) {
        edit.ticked[size_t(index)] = chkEdit2(index)->isChecked();
        edit.texts[size_t(index)] = inputText(index);
    }
    edit.fromV1 = chkFromv1_->isChecked();
    edit.titleFromFileName = FileName2TitleFlag();
    return edit;
}

EditReport frmID3v2Tag::runEdit(const TickedFiles& files, const BatchOptions& options) {
    return RunID3v2Edit(files, edit(), options);
}
