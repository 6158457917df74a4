#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

#include "batch/tickedfiles.h"

class QCheckBox;
class QPushButton;
class QDialog;
class QFileSystemModel;
class QFileSystemWatcher;
class QLabel;
class QMenu;
class QModelIndex;
class QSplitter;
class QTimer;
class QTreeView;
class QUrl;
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
// With "包含子文件夹" ticked the rows are the MP3 files of the folder and of
// all its sub-folders, named by their paths relative to the folder.
//
// The folder is watched: files added, removed or changed by other programs
// show within a second, as after F5 ("刷新"); both keep the ticks and the
// selection of the files still there. Size, place, column widths and the
// tree's width are kept between starts (windowsettings.h).
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
    // Reloads the current folder keeping the ticks and the selection of the
    // files still listed (F5, "刷新", a change seen by the watcher).
    void refresh();
    // Whether sub-folders are listed ("包含子文件夹"); setting it reloads.
    bool includesSubFolders() const;
    void setIncludesSubFolders(bool include);
    // Ticks the files the last batch left with OK worked on, by the names
    // they have now ("勾选上次操作的文件").
    void checkLastBatchFiles();
    // The right-click menu of the list as it would open now.
    QMenu* contextMenu() const { return menu_; }

    // Lists the start-up folder, selects the file asked for (when the
    // folder lists it) and puts the place's notice in the prompt.
    void openStartPlace(const StartPlace& place);

    // How a modal dialog is run; exec() unless replaced (tests replace it
    // to answer dialogs without an event loop of their own).
    using DialogRunner = std::function<void(QDialog&)>;
    void setDialogRunner(DialogRunner runner) { runDialog_ = std::move(runner); }
    // How a folder is shown in the file manager; QDesktopServices::openUrl
    // unless replaced (tests).
    using UrlOpener = std::function<void(const QUrl&)>;
    void setUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }

    // At start-up: finishes batches an earlier run left half done and tells
    // the user about files it had to leave alone.
    void recoverInterruptedBatches();
    // "撤销上次修改": shows what it will undo, asks, and undoes it on a worker.
    void undoLastBatch();
    // Enables "撤销上次修改" when the journal holds a batch to undo, its tip
    // saying which. Done after every batch and when the window is activated
    // (the command line may have written or undone one meanwhile).
    void updateUndoButton();

    Mp3ListModel* listModel() const { return model_; }
    Mp3ListView* listView() const { return list_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class Batch { ID3v1, ID3v2, FileName, FixEncoding };
    // What a reload keeps: nothing (a change of folder, the reload after a
    // batch) or the ticks and the selection (a refresh).
    enum class Keep { Nothing, TicksAndSelection };

    void buildFace();
    void buildMenu();
    void restoreSettings();
    void FillList(Keep keep = Keep::Nothing);
    // One load of the current folder; asks for another when the folder
    // changed meanwhile. `notice` receives a note for the prompt.
    void loadFolder(QString& notice, Keep keep);
    void watchFolder(const QStringList& subFolders);
    void widenNameColumns();
    void onFolderChanged();
    void writePrompt();
    void onTreeCurrentChanged(const QModelIndex& current);
    void showFolderInTree(const QString& path);
    void runBatch(Batch which);
    void runSetup();
    void openDetails();
    void onHeaderClicked(int column);
    void execDialog(QDialog& dialog);
    void toggleSelectedTicks();
    void setSelectedTicks(bool checked);
    void openContainingFolder();
    void copyFilePaths();
    void selectNames(const QStringList& names, const QString& current);
    // The rows the menu and Space act on: the selected ones, else the
    // current one.
    QList<int> actedRows() const;
    void saveWriteSettings();

    Prompter& prompter_;
    DialogRunner runDialog_;
    UrlOpener openUrl_;
    QString folder_;
    int fileCount_ = 0;
    bool followTree_ = true;
    // Whether the tree still scrolls to its current folder as the folders
    // above it load; the user's first touch of the tree ends it.
    bool revealInTree_ = true;
    // When the user last pressed a key or a mouse button on the tree. The
    // tree also moves its current folder by itself when its model re-reads a
    // folder (a row removed and added again); only a move right after the
    // user's own input opens a folder.
    QElapsedTimer treeInput_;
    bool loading_ = false;
    bool reloadPending_ = false;
    bool inDialog_ = false;
    bool refreshPending_ = false;
    QStringList lastBatchNames_;
    // Set to stop the load on the worker (the folder changed meanwhile).
    std::shared_ptr<std::atomic<bool>> stopLoad_;

    QFileSystemModel* folders_ = nullptr;
    QTreeView* tree_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QCheckBox* subFolders_ = nullptr;
    Mp3ListModel* model_ = nullptr;
    Mp3ListView* list_ = nullptr;
    QLabel* prompt_ = nullptr;
    QMenu* menu_ = nullptr;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* refreshTimer_ = nullptr;
    QCheckBox* keepMtime_ = nullptr;
    QCheckBox* splitLinks_ = nullptr;
    QPushButton* undo_ = nullptr;
};
