#pragma once

#include <QDialog>
#include <QString>
#include <QValidator>
#include <functional>

#include "batch/editreport.h"
#include "batch/tickedfiles.h"

class QCheckBox;
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

  protected:
    TagEditorDialog(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                    QWidget* parent);

    // Builds the face around `rows` (the check boxes and inputs of the
    // subclass, already laid out): caption, prompt "您选定了 N 个 Mp3 文件，"
    // + `promptEnding`, instructions, the rows, then OK (named `okName`) and
    // Cancel. The frame gets at least `client` as its fixed client size and
    // opens centred on the screen.
    void buildFace(const QString& caption, const QString& promptEnding, QLayout* rows,
                   const QString& okName, QSize client);

    // The batch run over the ticked files.
    virtual EditReport runEdit(const TickedFiles& files, const ProgressFn& progress) = 0;

    // A row of the editor: a check box (caption, object name, its array
    // index as the property "index") at `line` of `grid`, with `input`
    // beside it, disabled as every input is at load.
    QCheckBox* addRow(QGridLayout* grid, int line, const QString& caption, int index,
                      const QString& name, QWidget* input);

  private:
    void confirm();
    void cancel();

    TickedFiles files_;
    bool& FillListFlag_;
    Prompter& prompter_;
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

// The length measure of an input limit.
using TextMeasure = std::function<int(const QString&)>;
// The byte count of a text in code page 936.
int CP936Length(const QString& text);
// The character count (UTF-16 code units, as QLineEdit's limit counts).
int CharacterLength(const QString& text);

// Keeps a multi-line box within `limit` by `measure`: an edit that would go
// beyond it is undone, the caret back where it was.
void LimitPlainText(QPlainTextEdit* edit, int limit, const TextMeasure& measure);

// A multi-line box two lines high that takes line breaks and passes Tab on.
QPlainTextEdit* TwoLineBox(QWidget* parent);
