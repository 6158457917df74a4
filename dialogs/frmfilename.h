#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <vector>

#include "batch/rename.h"
#include "batch/tickedfiles.h"

class Prompter;
class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

// The renaming dialog: the user picks one of nine name patterns, sees every
// ticked file beside the name it would get (ready or blocked, and why), and
// OK renames the ready ones in the preview's current order, then reports
// (with the list of files not renamed to unfold) and closes.
// Cancel sets FillListFlag to false and closes; a confirmed OK sets it to
// true; the close box leaves it alone.
class frmFileName : public QDialog {
    Q_OBJECT
  public:
    frmFileName(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                QWidget* parent = nullptr);

    // The option buttons, index 0..9 (0 is never shown).
    QRadioButton* optFileNameChangeMode(int index) const;
    QTreeWidget* lvwFileNamePreview() const { return preview_; }
    QLabel* labPrompt() const { return prompt_; }
    QPushButton* cmdModifyID3v1() const { return ok_; }
    QPushButton* cmdCancel() const { return cancel_; }

    // The preview's rows as they stand, in display order.
    std::vector<RenameRow> previewRows() const;
    // After OK: each file of the run by the name the list will give it,
    // the new name for a renamed file, in the run's order. Empty before.
    const QStringList& namesAfterRun() const { return namesAfterRun_; }

  private:
    void buildPreview(int pattern);
    // Fills the item's texts, tooltips and mark from its row.
    void showRow(QTreeWidgetItem* item) const;
    // Checks the rows as a batch in the order shown and shows the result.
    void checkBatch();
    void sortPreview(int column);
    void modify();
    void cancel();

    TickedFiles files_;
    bool& fillListFlag_;
    Prompter& prompter_;
    const QIcon readyMark_;
    const QIcon blockedMark_;

    QLabel* prompt_ = nullptr;
    QButtonGroup* modes_ = nullptr;
    QTreeWidget* preview_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;

    // The rows of the last pattern clicked; each preview item keeps its
    // index here, so sorting moves items and the run still finds its row.
    std::vector<RenameRow> rows_;
    QStringList namesAfterRun_;
    Qt::SortOrder order_ = Qt::DescendingOrder;  // the first click sorts ascending
};
