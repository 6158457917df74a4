#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include "batch/textsettings.h"

class Prompter;
class QComboBox;
class QListWidget;
class QPushButton;

// The column setup dialog: chooses the columns saved in clmnhdr.dll.
//
// Left list "lvwColumnHeaders": every catalogue entry in code order.
// Right list "lvwSelectedColumns": the chosen columns, read from the file at
// opening. An entry's text is the catalogue's setup text ("ID3v2 - 版权"), its
// Qt::UserRole data the column code. ">>" ("cmdSelect") appends the left
// entry (a column may be chosen any number of times), "<<" ("cmdUnselect")
// removes the right entry and is disabled while the right list is empty; a
// double-click on an entry does the same as the button beside its list.
// Removing and appending again is the only way to reorder.
// OK ("cmdOK") saves and tells that the change takes effect at the next
// start; when the file cannot be written it says so and stays open. Cancel
// ("cmdCancel"), Escape and the close box write nothing.
// Below, "旧编码文字按…解读" ("cboLegacyCodePage": 自动判断 or one code page)
// and "ID3v2 文字编码" ("cboWriteEncoding"), kept in tamberlo.ini; OK saves
// them too and they apply at once.
class frmSetup : public QDialog {
    Q_OBJECT
  public:
    frmSetup(Prompter& prompter, QWidget* parent = nullptr);

    // The codes of the chosen columns, first to last.
    QList<int> selectedCodes() const;
    // Writes clmnhdr.dll from the chosen columns. Throws StoreError when the
    // file cannot be written; the old file is then left as it was.
    void SaveSetting();
    // The text settings the two boxes show.
    TextSettings textSettings() const;

  private:
    void select();
    void unselect();
    void ok();
    void updateUnselect();

    Prompter& prompter_;
    QListWidget* lvwColumnHeaders = nullptr;
    QListWidget* lvwSelectedColumns = nullptr;
    QPushButton* cmdSelect = nullptr;
    QPushButton* cmdUnselect = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QComboBox* cboLegacyCodePage = nullptr;
    QComboBox* cboWriteEncoding = nullptr;
};
