#pragma once

#include <QDialog>
#include <QString>
#include <QValidator>
#include <optional>

#include "batch/editreport.h"
#include "batch/tickedfiles.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class Prompter;

// What the ID3v1 and ID3v2 editors share: the blue prompt and
// instructions, OK and Cancel side by side at the bottom, the fixed centred
// frame, FillListFlag, and the run itself (busy pointer, progress after
// about a second, the run's messages through the Prompter, then close).
//
// FillListFlag: OK sets it true before anything else, Cancel sets it false;
// closing by the close box or Escape (reject) leaves it alone.
class TagEditorDialog : public QDialog {
    Q_OBJECT
  public:
    // The number of ticked files the editor was opened for.
    int CheckedCount() const { return int(files_.names.size()); }
    // True while the file-name box is ticked; the copy from ID3v1 leaves it
    // as it is.
    bool FileName2TitleFlag() const { return FileName2TitleFlag_; }

  protected:
    // One row of check box and input, in screen order; `index` is the
    // check box's index in its array and names the field.
    struct Row {
        int index;
        QString caption;
        QWidget* input;
    };

    TagEditorDialog(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                    QWidget* parent);

    // Builds the face and the load state: caption; prompt "您选定了 N 个 Mp3
    // 文件，" + `promptEnding`; instructions; the `leading` check boxes; the
    // rows (check boxes named `arrayName`, inputs disabled, the title row 0
    // disabled for more than one file); OK named `okName`, Cancel. Tab order
    // follows the screen. The frame gets at least `client` as its fixed
    // client size and opens centred on the screen. `fileNameBox` (one of
    // `leading`) drives FileName2TitleFlag. `status`, when given, stands
    // across the dialog between the rows and the buttons.
    void buildFace(const QString& caption, const QString& promptEnding,
                   const QList<QCheckBox*>& leading, QCheckBox* fileNameBox, const QList<Row>& rows,
                   const QString& arrayName, int rowSpacing, const QString& okName, QSize client,
                   QWidget* status = nullptr);

    QCheckBox* rowCheck(int index) const { return checks_.at(index); }
    QWidget* rowInput(int index) const { return inputs_.at(index); }

    // Why OK may not start the run as the dialog stands: the message shown
    // instead (the dialog then stays open, FillListFlag untouched), or none.
    virtual std::optional<ReportMessage> refusal() const { return std::nullopt; }
    // The batch run over the ticked files.
    virtual EditReport runEdit(const TickedFiles& files, const BatchOptions& options) = 0;

  private:
    void fileNameBoxClicked(bool ticked);
    void confirm();
    void cancel();

    TickedFiles files_;
    bool& FillListFlag_;
    Prompter& prompter_;
    QList<QCheckBox*> checks_;
    QList<QWidget*> inputs_;
    bool FileName2TitleFlag_ = false;
};

// The caption of the check box that takes titles from file names.
QString FileName2TitleCaption();

// Refuses any text whose code page 936 form is longer than `width` bytes, so
// that what the user types is what the ID3v1 tag can hold (a Chinese
// character counts two).
class CP936WidthValidator : public QValidator {
  public:
    CP936WidthValidator(int width, QObject* parent) : QValidator(parent), width_(width) {}
    State validate(QString& input, int& pos) const override;

  private:
    int width_;
};

// The byte count of a text in code page 936.
int CP936Length(const QString& text);

// Keeps a multi-line box within `width` bytes of code page 936: an edit that
// would go beyond it is undone, the caret back where it was.
void LimitPlainText(QPlainTextEdit* edit, int width);

// A drop-down list of the 80 genre names, list index = genre number, "Other"
// (12) selected.
QComboBox* GenreList(const QString& name, QWidget* parent);

// A multi-line box two lines high that takes line breaks and passes Tab on.
QPlainTextEdit* TwoLineBox(QWidget* parent);
