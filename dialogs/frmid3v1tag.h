#pragma once

#include <QString>

#include "batch/id3v1edit.h"
#include "batch/tickedfiles.h"
#include "dialogs/tageditor.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class Prompter;

// The ID3v1 batch editor "修改 Mp3 标签第一版（ID3v1）": the user ticks the
// fields to change and gives their values; OK rewrites the ID3v1 tag of
// every ticked file (RunID3v1Edit), Cancel touches nothing.
//
// Each row's check box enables its input. The title row is offered only for
// a single ticked file. Text inputs are limited to the field's width in
// bytes of code page 936; the track box takes up to two digits.
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
    EditReport runEdit(const TickedFiles& files, const ProgressFn& progress) override;

  private:
    QCheckBox* chkFileName2Title_;
    QLineEdit* txtSongTitle_;
    QLineEdit* txtArtist_;
    QLineEdit* txtAlbum_;
    QLineEdit* txtYear_;
    QPlainTextEdit* txtComment_;
    QComboBox* comGenre_;
    QLineEdit* txtTrackID_;
};
