#pragma once

#include <QString>

#include "batch/id3v2edit.h"
#include "batch/tickedfiles.h"
#include "dialogs/tageditor.h"
#include "store/id3v2picture.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class Prompter;

// The ID3v2 batch editor "修改 Mp3 标签第二版（ID3v2）": the user ticks the
// frames to change and gives their texts, or copies seven frames from each
// file's ID3v1 tag; OK rewrites the ID3v2 tag of every ticked file
// (RunID3v2Edit), Cancel touches nothing.
//
// Each row's check box enables its input; chkFromv1 takes over rows 0..6.
// The title row is offered only for a single ticked file. Frame texts take
// any length; the year box holds 4 characters and the track box 2. After
// the frames' rows comes the cover row (kCoverRow): an image file chosen
// for every ticked file, or "删除封面".
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
    QPushButton* cmdChooseCover() const { return cmdChooseCover_; }
    QCheckBox* chkRemoveCover() const { return chkRemoveCover_; }
    QLineEdit* txtCover() const { return txtCover_; }

    // The check-box index of the cover row.
    static constexpr int kCoverRow = kID3v2RowCount;

    // Takes the image file at `path` as the new cover: true when it is a
    // JPEG or PNG image; otherwise the user is told why and the cover
    // chosen before stays. The button's file dialog ends here.
    bool chooseCoverFile(const QString& path);

    // The edit the dialog stands for now.
    ID3v2Edit edit() const;

  protected:
    std::optional<ReportMessage> refusal() const override;
    EditReport runEdit(const TickedFiles& files, const BatchOptions& options) override;
    EditReport runFromName(const TickedFiles& files, const QString& pattern,
                           const BatchOptions& options) override;
    TagVersion tagVersion() const override { return TagVersion::V2; }

  private:
    void fromV1Clicked(bool ticked);
    QString inputText(int index) const;

    QWidget* coverRow();
    void chooseCover();

    QCheckBox* chkFromv1_;
    QCheckBox* chkFileName2TitleV2_;
    QComboBox* combTCON_;
    QLineEdit* txtCover_ = nullptr;
    QPushButton* cmdChooseCover_ = nullptr;
    QCheckBox* chkRemoveCover_ = nullptr;
    CoverImage cover_;  // the image chosen; empty bytes when none
};
