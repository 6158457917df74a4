#pragma once

#include <QDialog>
#include <QList>

#include "batch/fixencoding.h"
#include "batch/tickedfiles.h"

class Prompter;
class QLabel;
class QPushButton;
class QTreeWidget;

// "修复乱码 / 转为 Unicode" over the ticked files. Opening reads them (on a
// worker, with Cancel) and previews, in the tree "lvwFixes", one top row per
// file and under it one row per field that would change: the field, the
// old text and how it is stored, the new text and how it will be stored;
// each such row has a check box, ticked. A field that is left as it is
// shows why, without a check box; a file with nothing to change, or one
// that could not be read, says so on its own row. OK ("cmdOK", enabled while
// any row is ticked) sets FillListFlag and writes the ticked fields as one
// undoable batch (on a worker, with Cancel), then tells the report; Cancel
// ("cmdCancel") and Escape write nothing and clear FillListFlag.
class frmFixEncoding : public QDialog {
    Q_OBJECT
  public:
    frmFixEncoding(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                   QWidget* parent = nullptr);

    // The preview with only the ticked fixes (and the fixes left, unticked).
    QList<FileEncodingFixes> chosen() const;

  private:
    void fill();
    void updateOK();
    void confirm();

    TickedFiles files_;
    bool& FillListFlag_;
    Prompter& prompter_;
    QList<FileEncodingFixes> plans_;
    QLabel* labPrompt = nullptr;
    QTreeWidget* lvwFixes = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};
