#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "batch/tickedfiles.h"

class QDialog;
class QFileSystemModel;
class QLabel;
class QModelIndex;
class QTreeView;
class Mp3ListModel;
class Mp3ListView;
class Prompter;
struct StartPlace;

// The program's only top-level window: the folder tree, the list of the
// current folder's MP3 files with their ticks, and the buttons that open
// every dialog. Message boxes go through the Prompter given at creation.
//
// The current folder (the path the rows' file names are joined to) and the
// tree always name the same folder. A new window shows the process's current
// folder in the tree and lists nothing; start-up then opens its start place.
class Main : public QWidget {
    Q_OBJECT
  public:
    explicit Main(Prompter& prompter, QWidget* parent = nullptr);
    ~Main() override;

    // Whether a batch dialog that has just closed wants the list reloaded.
    // The dialogs write it; the window reads it right after they close.
    bool FillListFlag = true;

    int CheckedCount() const;
    int FileCount() const { return fileCount_; }
    // The folder the rows belong to.
    const QString& folder() const { return folder_; }
    // The folder and the ticked rows' names in the list's order.
    TickedFiles tickedFiles() const;

    // Builds the list's columns from clmnhdr.dll (written with its default
    // content when missing). Called once, by the constructor.
    void SetColumnHeader();

    // A change of folder: the tree moves to `path` and the list reloads.
    void changeFolder(const QString& path);

    // Lists the start-up folder, selects the file asked for (when the
    // folder lists it) and puts the place's notice in the prompt.
    void openStartPlace(const StartPlace& place);

    // How a modal dialog is run; exec() unless replaced (tests replace it
    // to answer dialogs without an event loop of their own).
    using DialogRunner = std::function<void(QDialog&)>;
    void setDialogRunner(DialogRunner runner) { runDialog_ = std::move(runner); }

    Mp3ListModel* listModel() const { return model_; }
    Mp3ListView* listView() const { return list_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    enum class Batch { ID3v1, ID3v2, FileName };

    void buildFace();
    void FillList();
    // One load of the current folder; asks for another when the folder
    // changed meanwhile. `notice` receives a note for the prompt.
    void loadFolder(QString& notice);
    void writePrompt();
    void onTreeCurrentChanged(const QModelIndex& current);
    void showFolderInTree(const QString& path);
    void runBatch(Batch which);
    void runSetup();
    void openDetails();
    void onHeaderClicked(int column);
    void execDialog(QDialog& dialog);
    void moveToTopEdge();

    Prompter& prompter_;
    DialogRunner runDialog_;
    QString folder_;
    int fileCount_ = 0;
    bool followTree_ = true;
    bool loading_ = false;
    bool reloadPending_ = false;

    QFileSystemModel* folders_ = nullptr;
    QTreeView* tree_ = nullptr;
    Mp3ListModel* model_ = nullptr;
    Mp3ListView* list_ = nullptr;
    QLabel* prompt_ = nullptr;
};
