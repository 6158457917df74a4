#pragma once

#include <QString>

#include "batch/id3v1edit.h"
#include "batch/tickedfiles.h"
#include "dialogs/tageditor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class Prompter;

// The ID3v1 batch editor "修改 Mp3 标签第一版（ID3v1）": the user ticks the
// fields to change and gives their values; OK rewrites the ID3v1 tag of
// every ticked file (RunID3v1Edit), Cancel touches nothing.
//
// Each row's check box enables its input. The title row is offered only for
// a single ticked file. Text inputs are limited to the field's width in
// bytes of code page 936; the track box takes up to two digits. A line
// under the rows (labByteCount) tells the bytes used by the text being
// edited (before any, the widths of the fields), or, in red, which ticked
// text holds a character code page 936 cannot store; OK refuses to start
// the run while there is one, naming every such text.
class frmID3v1Tag : public TagEditorDialog {
    Q_OBJECT
  public:
    frmID3v1Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                QWidget* parent = nullptr);

    // The row check boxes by field index (ID3v1Row), and the input each governs.
    QCheckBox* chkEdit(int index) const { return rowCheck(index); }
    QWidget* input(int index) const { return rowInput(index); }
    QCheckBox* chkFileName2Title() const { return chkFileName2Title_; }

    // The edit the dialog stands for now.
    ID3v1Edit edit() const;

  protected:
    std::optional<ReportMessage> refusal() const override;
    EditReport runEdit(const TickedFiles& files, const BatchOptions& options) override;

  private:
    // The text row of an input, or -1.
    int textRow(const QWidget* input) const;
    QString rowText(int row) const;
    void showByteCount();

    QCheckBox* chkFileName2Title_;
    QLabel* labByteCount_;
    int editedRow_ = -1;  // the text row last edited or focused
    QLineEdit* txtSongTitle_;
    QLineEdit* txtArtist_;
    QLineEdit* txtAlbum_;
    QLineEdit* txtYear_;
    QPlainTextEdit* txtComment_;
    QComboBox* comGenre_;
    QLineEdit* txtTrackID_;
};
