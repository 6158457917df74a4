#pragma once

#include <QString>

#include "batch/id3v2edit.h"
#include "batch/tickedfiles.h"
#include "dialogs/tageditor.h"

class QCheckBox;
class QComboBox;
class Prompter;

// The ID3v2 batch editor "修改 Mp3 标签第二版（ID3v2）": the user ticks the
// frames to change and gives their texts, or copies seven frames from each
// file's ID3v1 tag; OK rewrites the ID3v2 tag of every ticked file
// (RunID3v2Edit), Cancel touches nothing.
//
// Each row's check box enables its input; chkFromv1 takes over rows 0..6.
// The title row is offered only for a single ticked file. Frame texts take
// any length; the year box holds 4 characters and the track box 2.
class frmID3v2Tag : public TagEditorDialog {
    Q_OBJECT
  public:
    frmID3v2Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                QWidget* parent = nullptr);

    // The row check boxes by editor row (FrameDescriptor::editorRow), and the
    // input each governs.
    QCheckBox* chkEdit2(int index) const { return rowCheck(index); }
    QWidget* input(int index) const { return rowInput(index); }
    QCheckBox* chkFromv1() const { return chkFromv1_; }
    QCheckBox* chkFileName2TitleV2() const { return chkFileName2TitleV2_; }

    // The edit the dialog stands for now.
    ID3v2Edit edit() const;

  protected:
    EditReport runEdit(const TickedFiles& files, const BatchOptions& options) override;

  private:
    void fromV1Clicked(bool ticked);
    QString inputText(int index) const;

    QCheckBox* chkFromv1_;
    QCheckBox* chkFileName2TitleV2_;
    QComboBox* combTCON_;
};
