#pragma once

#include <QDialog>
#include <QIcon>

#include "batch/fromname.h"
#include "batch/tickedfiles.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

// "从文件名提取": the user types a pattern in the placeholder language
// ("%音轨% %艺术家% - %歌名%") and sees, per ticked file, what each field the
// pattern names becomes; a name that does not fit is marked and will be
// skipped. Nothing is read from or written to the files here: OK hands the
// pattern (remembered for the next time) to the editor that opened it.
class frmFromName : public QDialog {
    Q_OBJECT
  public:
    frmFromName(const TickedFiles& files, TagVersion version, QWidget* parent = nullptr);

    QString pattern() const;
    QLineEdit* txtFromNamePattern() const { return pattern_; }
    QLabel* labPatternCheck() const { return check_; }
    QLabel* labSummary() const { return summary_; }
    QTreeWidget* lvwFromNamePreview() const { return preview_; }
    QPushButton* cmdOK() const { return ok_; }

  protected:
    void done(int result) override;

  private:
    void buildPreview();

    TickedFiles files_;
    TagVersion version_;
    const QIcon readyMark_;
    const QIcon blockedMark_;
    QLineEdit* pattern_ = nullptr;
    QLabel* check_ = nullptr;
    QLabel* summary_ = nullptr;
    QTreeWidget* preview_ = nullptr;
    QPushButton* ok_ = nullptr;
    QTimer* typing_ = nullptr;
};
