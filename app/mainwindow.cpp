#include "app/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>

#include "app/mp3listmodel.h"
#include "app/mp3listview.h"
#include "app/startplace.h"
#include "app/windowsettings.h"
#include "batch/audiotext.h"
#include "batch/columns.h"
#include "batch/mp3list.h"
#include "batch/undo.h"
#include "batch/writesettings.h"
#include "dialogs/frmfilename.h"
#include "dialogs/frmfixencoding.h"
#include "dialogs/frmid3v1tag.h"
#include "dialogs/frmid3v2tag.h"
#include "dialogs/frmmp3info.h"
#include "dialogs/frmsetup.h"
#include "store/error.h"
#include "store/filefacts.h"
#include "store/fileio.h"
#include "store/id3v1.h"
#include "store/journal.h"
#include "store/programfolder.h"
#include "ui/busy.h"
#include "ui/font.h"
#include "ui/prompter.h"
#include "ui/workprogress.h"

namespace {

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// A width that shows typical content of the column (counted in Chinese
// characters) and its whole header with the sort arrow beside it.
int ColumnWidth(int code, const QFontMetrics& metrics) {
    int chars = 0;
    switch (code) {
        case 306:
            chars = 12;
            break;
        case 102:
        case 202:
        case 208:
        case 209:
            chars = 6;
            break;
        case 103:
        case 203:
            chars = 7;
            break;
        case 307:  // "不是 MP3（找不到音频帧）"
            chars = 13;
            break;
        case 308:  // "UTF-8(旧)"
            chars = 5;
            break;
        case 401:  // "1:02:03"
            chars = 4;
            break;
        case 404:  // "联合立体声"
            chars = 6;
            break;
        case 402:  // "VBR 平均 192 kbit/s"
            chars = 11;
            break;
        case 405:  // "MPEG-2.5 Layer III"
            chars = 10;
            break;
        case 403:  // "11.025 kHz"
            chars = 5;
            break;
        case 105:
        case 305:
            chars = 6;
            break;
        case 104:
        case 106:
        case 204:
        case 206:
        case 301:
        case 302:
        case 303:
        case 304:
            break;
        default:
            chars = 8;  // titles, comments, copyright, link, encoder
    }
    const int content = metrics.horizontalAdvance(QChar(0x6C49)) * chars;
    const int header = metrics.horizontalAdvance(ColumnHeaderText(code)) + 32;
    return qMax(content, header);
}

// The note that points to the user's guide; installed (bin/ beside
// share/doc/tamberlo/), the file's name is a link that opens it. The name
// gets a line of its own, so the hyphen never breaks it.
void SetHelpNote(QLabel* note) {
    const QString lead = QStringLiteral("使用说明见随程序附带的");
    const QString name = QStringLiteral("README.zh-CN.md");
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/doc/tamberlo/") + name);
    if (!QFileInfo::exists(installed)) {
        note->setText(lead + QLatin1Char('\n') + name + QStringLiteral("。"));
        return;
    }
    note->setText(
        QStringLiteral("%1<br><a href=\"%2\">%3</a>。")
            .arg(lead, QUrl::fromLocalFile(installed).toString(QUrl::FullyEncoded), name));
    note->setToolTip(installed);
    note->setOpenExternalLinks(true);
    note->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
}

// The exact path that a dropped file: URL names. A URL carries its bytes
// percent-encoded; toLocalFile() would decode them as UTF-8 and lose a name
// that is not.
QString PathFromUrl(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    return fileio::NameFromNative(
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

// A file: URL for an exact path, its bytes percent-encoded.
QUrl UrlOfPath(const QString& path) {
    return QUrl(QStringLiteral("file://") +
                QString::fromLatin1(fileio::NativePath(path).toPercentEncoding("/")));
}

// The files a drop carries; empty unless every URL is a local path.
QList<QUrl> LocalUrls(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls)
        if (!url.isLocalFile())
            return {};
    return urls;
}

// The default size: as large as the list wants, within the screen's free
// area with room for the frame, so the bottom edge shows on 1280x800.
QRect DefaultGeometry(const QScreen* screen) {
    const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
    const QSize size(qMin(1240, free.width() - 40), qMin(720, free.height() - 60));
    return QRect(free.center() - QPoint(size.width() / 2, size.height() / 2), size);
}

// Consecutive rows as ranges, for one selection command.
QItemSelection RowRanges(const QAbstractItemModel& model, QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    const int last = model.columnCount() - 1;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype j = i;
        while (j + 1 < rows.size() && rows.at(j + 1) <= rows.at(j) + 1) ++j;
        selection.select(model.index(rows.at(i), 0), model.index(rows.at(j), last));
        i = j + 1;
    }
    return selection;
}

// Files the watcher follows one by one, on top of the folders: a tag
// written in place changes no folder. Past this many only the folders are
// watched, as every watch costs the system a kernel object.
constexpr int kWatchedFilesLimit = 4096;

}  // namespace

Main::Main(Prompter& prompter, QWidget* parent)
    : QWidget(parent),
      prompter_(prompter),
      runDialog_([](QDialog& dialog) { dialog.exec(); }),
      openUrl_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    buildFace();

    // Start-up order: the prompt, the flag, the program-wide tables, then
    // the columns. The tables are built on first use; asking for them here
    // keeps that cost out of the first reload.
    prompt_->setText(QStringLiteral("列表中没有 Mp3 文件！"));
    FillListFlag = true;
    ID3v1FieldNames();
    ID3v2FieldNames();
    FilePropertyNames();
    GenreNames();
    SetColumnHeader();
    buildMenu();
    restoreSettings();
    updateUndoButton();

    // The tree shows the process's current folder; the list stays empty
    // until start-up opens its place or the user moves to a folder.
    folder_ = CurrentFolder();
    if (folder_.isEmpty())
        folder_ = QStringLiteral("/");
    showFolderInTree(folder_);
}

Main::~Main() = default;

void Main::buildFace() {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Tamberlo 2.0 （简体中文版） — Tamberlo 开发组"));
    setFont(WindowFont());
    setAcceptDrops(true);

    // Left column: the folder tree and a note where help is found.
    auto* fraPath = new QGroupBox(QStringLiteral("请选择 Mp3 文件所在的目录"), this);
    fraPath->setObjectName(QStringLiteral("fraPath"));
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    folders_->setReadOnly(true);
    folders_->setRootPath(QStringLiteral("/"));
    tree_ = new QTreeView(fraPath);
    tree_->setObjectName(QStringLiteral("dirDirList"));
    tree_->setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column) tree_->hideColumn(column);
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The tree reads folders in the background; when a parent of the
    // current folder arrives, its rows push the current folder out of view.
    // That is followed only until the user touches the tree: scrolling
    // under the pointer would turn the user's next click into a click on a
    // neighbour.
    connect(folders_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QModelIndex current = tree_->currentIndex();
        if (revealInTree_ && current.isValid() && folders_->filePath(current).startsWith(loaded))
            tree_->scrollTo(current, QAbstractItemView::PositionAtCenter);
    });
    tree_->installEventFilter(this);
    tree_->viewport()->installEventFilter(this);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { onTreeCurrentChanged(current); });

    auto* contact = new QFrame(fraPath);
    contact->setFrameShape(QFrame::StyledPanel);
    auto* contactLayout = new QVBoxLayout(contact);
    auto* free = new QLabel(QStringLiteral("本程序免费使用，升级同样免费。"), contact);
    auto* help = new QLabel(contact);
    help->setObjectName(QStringLiteral("labHelp"));
    SetHelpNote(help);
    free->setWordWrap(true);
    help->setWordWrap(true);
    contactLayout->addWidget(free);
    contactLayout->addWidget(help);

    auto* pathLayout = new QVBoxLayout(fraPath);
    pathLayout->addWidget(tree_, 1);
    pathLayout->addWidget(contact);
    fraPath->setMinimumWidth(180);

    // Right column, top: the list with the selection buttons and the prompt.
    auto* right = new QWidget(this);
    auto* fraMp3Files = new QGroupBox(
        QStringLiteral("从下表中选择需要修改（标签或文件名）的 Mp3 文件。 "
                       "点击表头可按字段正、反向排序。双击某行可查看该文件的详细信息。"),
        right);
    fraMp3Files->setObjectName(QStringLiteral("fraMp3Files"));
    subFolders_ = new QCheckBox(QStringLiteral("包含子文件夹"), fraMp3Files);
    subFolders_->setObjectName(QStringLiteral("chkSubFolders"));
    subFolders_->setToolTip(QStringLiteral(
        "列出此目录及其所有子文件夹中的 Mp3 文件；文件名一栏显示相对于此目录的路径。"));
    auto* cmdRefresh = Button("cmdRefresh", QStringLiteral("刷新"), fraMp3Files);
    cmdRefresh->setToolTip(QStringLiteral("重新读取此目录（F5），保留勾选和选中的行"));
    auto* optionLayout = new QHBoxLayout;
    optionLayout->addWidget(subFolders_);
    optionLayout->addStretch(1);
    optionLayout->addWidget(cmdRefresh);
    list_ = new Mp3ListView(fraMp3Files);
    list_->setObjectName(QStringLiteral("lvwMp3List"));
    auto* cmdCheckAll = Button("cmdCheckAll", QStringLiteral("全    选（&S）"), fraMp3Files);
    auto* cmdClearAll = Button("cmdClearAll", QStringLiteral("清空选择（&U）"), fraMp3Files);
    auto* cmdReverseSelection =
        Button("cmdReverseSelection", QStringLiteral("反转选择（&R）"), fraMp3Files);
    prompt_ = new QLabel(fraMp3Files);
    prompt_->setObjectName(QStringLiteral("labPrompt"));
    prompt_->setWordWrap(true);
    prompt_->setMinimumWidth(280);
    auto* selectLayout = new QHBoxLayout;
    selectLayout->addWidget(cmdCheckAll);
    selectLayout->addWidget(cmdClearAll);
    selectLayout->addWidget(cmdReverseSelection);
    selectLayout->addSpacing(12);
    selectLayout->addWidget(prompt_, 1);
    auto* filesLayout = new QVBoxLayout(fraMp3Files);
    filesLayout->addLayout(optionLayout);
    filesLayout->addWidget(list_, 1);
    filesLayout->addLayout(selectLayout);

    // Right column, bottom: the batch operations, then set-up and exit.
    auto* fraTagEditArea = new QGroupBox(
        QStringLiteral("针对上表中选中的 Mp3 文件，进行以下操作，请选择相应按钮"), right);
    fraTagEditArea->setObjectName(QStringLiteral("fraTagEditArea"));
    auto* cmdID3v1 = Button("cmdID3v1", QStringLiteral("修改 ID3v1 标签"), fraTagEditArea);
    auto* cmdID3v2 = Button("cmdID3v2", QStringLiteral("修改 ID3v2 标签"), fraTagEditArea);
    auto* cmdFileName = Button("cmdFileName", QStringLiteral("修改 Mp3 文件名"), fraTagEditArea);
    auto* cmdFixEncoding =
        Button("cmdFixEncoding", QStringLiteral("修复乱码 / 转为 Unicode"), fraTagEditArea);
    cmdFixEncoding->setToolTip(
        QStringLiteral("把被其他程序读错的中文改回来，并把旧编码的文字按现在的写法重写"));
    auto* batchLayout = new QHBoxLayout;
    for (QPushButton* button : {cmdID3v1, cmdID3v2, cmdFileName, cmdFixEncoding}) {
        button->setMinimumHeight(36);
        batchLayout->addWidget(button);
    }
    // How files are written, for every batch.
    const ApplyOptions settings = LoadWriteSettings();
    keepMtime_ = new QCheckBox(QStringLiteral("保留文件修改时间"), fraTagEditArea);
    keepMtime_->setObjectName(QStringLiteral("chkKeepMtime"));
    keepMtime_->setChecked(settings.keepMtime);
    splitLinks_ = new QCheckBox(QStringLiteral("允许改写有多个硬链接的文件（其他链接保留旧内容）"),
                                fraTagEditArea);
    splitLinks_->setObjectName(QStringLiteral("chkSplitHardLinks"));
    splitLinks_->setChecked(settings.splitHardLinks);
    auto* optionsLayout = new QHBoxLayout;
    optionsLayout->addWidget(keepMtime_);
    optionsLayout->addWidget(splitLinks_);
    optionsLayout->addStretch(1);
    auto* areaLayout = new QVBoxLayout;
    areaLayout->addLayout(batchLayout);
    areaLayout->addLayout(optionsLayout);
    fraTagEditArea->setLayout(areaLayout);
    auto* cmdUndo = Button("cmdUndo", QStringLiteral("撤销上次修改"), right);
    undo_ = cmdUndo;
    auto* undoShortcut = new QShortcut(QKeySequence::Undo, this);
    auto* cmdSetup = Button("cmdSetup", QStringLiteral("修改表头设定"), right);
    auto* cmdExit = Button("cmdExit", QStringLiteral("退出程序（&E）"), right);
    auto* endLayout = new QVBoxLayout;
    endLayout->addStretch(1);
    endLayout->addWidget(cmdUndo);
    endLayout->addWidget(cmdSetup);
    endLayout->addWidget(cmdExit);
    auto* bottomLayout = new QHBoxLayout;
    bottomLayout->addWidget(fraTagEditArea, 1);
    bottomLayout->addLayout(endLayout);

    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(fraMp3Files, 1);
    rightLayout->addLayout(bottomLayout);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setObjectName(QStringLiteral("splitter"));
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(fraPath);
    splitter_->addWidget(right);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({300, 900});
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter_);

    watcher_ = new QFileSystemWatcher(this);
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    // Gathers the burst of changes one copy or tag write makes.
    refreshTimer_->setInterval(300);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, refreshTimer_,
            qOverload<>(&QTimer::start));
    connect(watcher_, &QFileSystemWatcher::fileChanged, refreshTimer_, qOverload<>(&QTimer::start));
    connect(refreshTimer_, &QTimer::timeout, this, &Main::onFolderChanged);

    auto* f5 = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(f5, &QShortcut::activated, this, &Main::refresh);
    connect(cmdRefresh, &QPushButton::clicked, this, &Main::refresh);
    connect(subFolders_, &QCheckBox::toggled, this, [this] { FillList(Keep::TicksAndSelection); });
    connect(cmdCheckAll, &QPushButton::clicked, this, [this] { model_->checkAll(); });
    connect(cmdClearAll, &QPushButton::clicked, this, [this] { model_->clearAll(); });
    connect(cmdReverseSelection, &QPushButton::clicked, this, [this] { model_->invertAll(); });
    connect(cmdID3v1, &QPushButton::clicked, this, [this] { runBatch(Batch::ID3v1); });
    connect(cmdID3v2, &QPushButton::clicked, this, [this] { runBatch(Batch::ID3v2); });
    connect(cmdFileName, &QPushButton::clicked, this, [this] { runBatch(Batch::FileName); });
    connect(cmdFixEncoding, &QPushButton::clicked, this, [this] { runBatch(Batch::FixEncoding); });
    connect(cmdSetup, &QPushButton::clicked, this, [this] { runSetup(); });
    connect(cmdUndo, &QPushButton::clicked, this, [this] { undoLastBatch(); });
    connect(undoShortcut, &QShortcut::activated, this, [this] { undoLastBatch(); });
    connect(keepMtime_, &QCheckBox::toggled, this, [this] { saveWriteSettings(); });
    connect(splitLinks_, &QCheckBox::toggled, this, [this] { saveWriteSettings(); });
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(list_, &Mp3ListView::rowClicked, this, [this](int row) { model_->toggle(row); });
    connect(list_, &Mp3ListView::spaceToggled, this, &Main::toggleSelectedTicks);
    connect(list_, &Mp3ListView::detailsRequested, this, [this] { openDetails(); });
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->popup(list_->viewport()->mapToGlobal(at)); });
    connect(list_->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { onHeaderClicked(column); });
}

void Main::buildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("mnuList"));
    const auto add = [this](const char* name, const QString& text, auto slot) {
        QAction* action = menu_->addAction(text, this, slot);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    QAction* check =
        add("mnuCheckSelected", QStringLiteral("勾选所选"), [this] { setSelectedTicks(true); });
    QAction* uncheck = add("mnuUncheckSelected", QStringLiteral("取消勾选所选"),
                           [this] { setSelectedTicks(false); });
    menu_->addSeparator();
    QAction* details = add("mnuDetails", QStringLiteral("查看详细信息"), [this] { openDetails(); });
    QAction* reveal = add("mnuOpenFolder", QStringLiteral("在文件管理器中打开所在文件夹"),
                          [this] { openContainingFolder(); });
    QAction* copy = add("mnuCopyPath", QStringLiteral("复制文件路径"), [this] { copyFilePaths(); });
    menu_->addSeparator();
    QAction* last = add("mnuCheckLastBatch", QStringLiteral("勾选上次操作的文件"),
                        [this] { checkLastBatchFiles(); });
    QAction* reload = add("mnuRefresh", QStringLiteral("刷新"), [this] { refresh(); });
    reload->setShortcut(QKeySequence(Qt::Key_F5));
    reload->setShortcutVisibleInContextMenu(true);
    // The entries that act on rows are enabled only when there are rows to
    // act on, whenever the menu opens.
    connect(menu_, &QMenu::aboutToShow, this, [=, this] {
        const bool rows = !actedRows().isEmpty();
        for (QAction* action : {check, uncheck, details, reveal, copy}) action->setEnabled(rows);
        last->setEnabled(!lastBatchNames_.isEmpty());
    });
}

void Main::restoreSettings() {
    const WindowSettings settings = ReadWindowSettings();
    if (settings.geometry.isEmpty() || !restoreGeometry(settings.geometry))
        setGeometry(DefaultGeometry(screen()));
    if (!settings.splitter.isEmpty())
        splitter_->restoreState(settings.splitter);
    const QList<int>& codes = model_->columnCodes();
    for (int column = 0; column < codes.size(); ++column) {
        const auto width = settings.widths.constFind(codes.at(column));
        if (width != settings.widths.cend())
            list_->header()->resizeSection(column, *width);
    }
}

void Main::closeEvent(QCloseEvent* event) {
    WindowSettings settings;
    settings.geometry = saveGeometry();
    settings.splitter = splitter_->saveState();
    // A code shown twice keeps the width of its first column.
    settings.widths = ReadWindowSettings().widths;
    const QList<int>& codes = model_->columnCodes();
    for (int column = codes.size() - 1; column >= 0; --column)
        settings.widths.insert(codes.at(column), list_->header()->sectionSize(column));
    settings.lastFolder = folder_;
    WriteWindowSettings(settings);
    QWidget::closeEvent(event);
}

void Main::SetColumnHeader() {
    const QList<int> codes = LoadColumnCodes();
    model_ = new Mp3ListModel(codes, this);
    list_->setModel(model_);
    // No arrow until the first header click: the rows are in name order.
    list_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    const QFontMetrics metrics(list_->header()->font());
    for (int column = 0; column < codes.size(); ++column)
        list_->header()->resizeSection(column, ColumnWidth(codes.at(column), metrics));
    connect(model_, &Mp3ListModel::ticksChanged, this, &Main::writePrompt);
}

int Main::CheckedCount() const {
    return model_->checkedCount();
}

TickedFiles Main::tickedFiles() const {
    return TickedFiles{folder_, model_->checkedNames()};
}

void Main::writePrompt() {
    prompt_->setText(QStringLiteral("列表中共有 ") + QString::number(fileCount_) +
                     QStringLiteral(" 个MP3文件，  您选定了") + QString::number(CheckedCount()) +
                     QStringLiteral(" 个。"));
}

void Main::showFolderInTree(const QString& path) {
    // Should the tree have no entry for the folder, it is left with no
    // current folder rather than with another one. The tree knows folders
    // by Qt's own decoding of their names, which shows bytes that are not
    // UTF-8 as U+FFFD; that form serves only to find the tree's row.
    const QModelIndex index = folders_->index(QFile::decodeName(fileio::NativePath(path)));
    followTree_ = false;
    tree_->setCurrentIndex(index);
    followTree_ = true;
    revealInTree_ = true;
    // scrollTo opens the folder's parents. The folder itself stays closed:
    // opening it would have the tree read every entry of a folder of tens
    // of thousands of files alongside the list's own reading.
    if (index.isValid())
        tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

bool Main::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_ || watched == tree_->viewport()) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::KeyPress:
                treeInput_.start();
                revealInTree_ = false;
                break;
            case QEvent::Wheel:
                revealInTree_ = false;
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Main::onTreeCurrentChanged(const QModelIndex& current) {
    if (!followTree_ || !current.isValid())
        return;
    if (!treeInput_.isValid() || treeInput_.elapsed() > 1000) {
        // Not the user's doing: the listed folder stays, and so does its
        // highlight.
        followTree_ = false;
        tree_->setCurrentIndex(folders_->index(QFile::decodeName(fileio::NativePath(folder_))));
        followTree_ = true;
        return;
    }
    revealInTree_ = false;
    const QString shown = folders_->filePath(current);
    const std::optional<QString> exact = FolderFromShownPath(shown);
    if (!exact) {
        // Two folders whose names differ only in bytes that are not UTF-8
        // look the same in the tree; neither is opened on a guess.
        showFolderInTree(folder_);
        prompter_.tell(QStringLiteral("有几个文件夹的名字显示出来都是“%1”（名字不是 UTF-8 "
                                      "编码），无法确定要打开哪一个。")
                           .arg(shown),
                       QStringLiteral("无法打开文件夹"));
        return;
    }
    folder_ = *exact;
    FillList();
}

void Main::changeFolder(const QString& path) {
    // String work only: cleanPath keeps every character of an exact name.
    const QString absolute =
        path.startsWith(QLatin1Char('/')) ? path : JoinPath(CurrentFolder(), path);
    folder_ = QDir::cleanPath(absolute);
    showFolderInTree(folder_);
    FillList();
}

void Main::refresh() {
    FillList(Keep::TicksAndSelection);
}

bool Main::includesSubFolders() const {
    return subFolders_->isChecked();
}

void Main::setIncludesSubFolders(bool include) {
    subFolders_->setChecked(include);
}

void Main::openStartPlace(const StartPlace& place) {
    changeFolder(place.folder);
    if (!place.notice.isEmpty())
        prompt_->setText(place.notice + QLatin1Char('\n') + prompt_->text());
    if (place.fileName.isEmpty())
        return;
    const int row = model_->rowOf(place.fileName);
    if (row < 0)
        return;
    const QModelIndex index = model_->index(row, 0);
    list_->setCurrentIndex(index);
    list_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    list_->setFocus();
}

void Main::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalUrls(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Main::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = LocalUrls(event->mimeData());
    if (urls.isEmpty())
        return;
    event->acceptProposedAction();
    // The first item decides: a folder is listed, a file lists its folder
    // with the file selected, as on the command line.
    openStartPlace(ChooseStartPlace(StartSources{PathFromUrl(urls.first()), folder_}));
}

void Main::FillList(Keep keep) {
    // The progress window lets events through while a large folder loads;
    // one of them may move the tree (a folder removed meanwhile). Such a
    // change is loaded once the current load is done, never inside it.
    if (loading_) {
        reloadPending_ = true;
        if (stopLoad_)
            *stopLoad_ = true;
        return;
    }
    loading_ = true;
    QString notice;
    do {
        reloadPending_ = false;
        loadFolder(notice, keep);
    } while (reloadPending_);
    loading_ = false;
    // Changes seen while loading are in what was just read.
    refreshTimer_->stop();
    refreshPending_ = false;
    if (!notice.isEmpty())
        prompt_->setText(notice + QLatin1Char('\n') + prompt_->text());
}

void Main::loadFolder(QString& notice, Keep keep) {
    const QString folder = folder_;
    FolderRows loaded;
    // The rows are read on a worker while this thread keeps the window
    // painted and answering; a change of folder meanwhile stops the read
    // between two files (FillList then loads the new folder).
    auto stop = std::make_shared<std::atomic<bool>>(false);
    stopLoad_ = stop;
    try {
        auto done = std::make_shared<std::atomic<int>>(0);
        auto total = std::make_shared<std::atomic<int>>(0);
        const QList<int> codes = model_->columnCodes();
        const ListOptions options{subFolders_->isChecked()};
        std::exception_ptr failure;
        QEventLoop loop;
        QThread* worker = QThread::create([&, folder, codes, options, stop, done, total] {
            try {
                loaded = LoadFolderRows(
                    folder, options, codes,
                    [done, total](int n, int of) {
                        *total = of;
                        *done = n;
                    },
                    [stop] { return stop->load(); });
            } catch (...) {
                failure = std::current_exception();
            }
        });
        connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
        QTimer ticker;
        const QString before = prompt_->text();
        connect(&ticker, &QTimer::timeout, &loop, [this, done, total] {
            prompt_->setText(QStringLiteral("正在读取 Mp3 文件：已读取 %1 / %2 个")
                                 .arg(done->load())
                                 .arg(total->load()));
        });
        BusyCursor busy;
        worker->start();
        ticker.start(100);
        loop.exec();
        worker->wait();
        delete worker;
        stopLoad_.reset();
        prompt_->setText(before);
        if (failure)
            std::rethrow_exception(failure);
    } catch (const StoreError& error) {
        // The list empties, so no row can be joined to a folder it does not
        // belong to; the tree and the current folder still name one folder.
        fileCount_ = 0;
        model_->setRows({});
        watchFolder({});
        if (IsFolder(folder)) {
            prompt_->setText(
                QStringLiteral("无法读取此目录（%1），列表中没有 Mp3 文件。").arg(error.reason()));
            return;
        }
        QString existing = folder;
        while (!IsFolder(existing) && existing != QLatin1String("/")) existing = FolderOf(existing);
        notice = QStringLiteral("目录“%1”已不存在，现在列出的是“%2”。")
                     .arg(DisplayFileName(folder), DisplayFileName(existing));
        folder_ = existing;
        showFolderInTree(existing);
        reloadPending_ = true;
        return;
    }
    if (*stop || folder_ != folder) {
        reloadPending_ = true;
        return;
    }

    // What to keep, by file name: rows are found again wherever the new
    // load puts them, and files that have gone are simply not there.
    QSet<QString> ticked;
    QStringList selected;
    QString current;
    if (keep == Keep::TicksAndSelection) {
        const QStringList names = model_->checkedNames();
        ticked = QSet<QString>(names.begin(), names.end());
        for (const int row : list_->selectedRowNumbers()) selected << model_->fileName(row);
        if (list_->currentIndex().isValid())
            current = model_->fileName(list_->currentIndex().row());
    }
    fileCount_ = int(loaded.rows.size());
    model_->setRows(std::move(loaded.rows), ticked);
    if (!selected.isEmpty() || !current.isEmpty())
        selectNames(selected, current);
    if (!loaded.unreadable.isEmpty())
        notice = QStringLiteral("有 %1 个子文件夹无法读取，其中的文件没有列出：%2")
                     .arg(loaded.unreadable.size())
                     .arg(DisplayFileName(loaded.unreadable.first()) +
                          (loaded.unreadable.size() > 1 ? QStringLiteral(" 等") : QString()));
    watchFolder(loaded.folders);
    WriteLastFolder(folder);
    if (subFolders_->isChecked())
        widenNameColumns();
}

void Main::widenNameColumns() {
    // Paths below the folder are longer than names: the file-name columns
    // grow to show them, up to half the list, and never shrink here, so a
    // width the user chose stays.
    const QFontMetrics metrics(list_->font());
    int widest = 0;
    const int sample = qMin(model_->rowCount(), 2000);
    for (int row = 0; row < sample; ++row)
        widest = qMax(widest, metrics.horizontalAdvance(DisplayFileName(model_->fileName(row))));
    const int wanted = qMin(widest + 48, qMax(list_->viewport()->width() / 2, 240));
    const QList<int>& codes = model_->columnCodes();
    for (int column = 0; column < codes.size(); ++column)
        if (codes.at(column) == 306 && list_->header()->sectionSize(column) < wanted)
            list_->header()->resizeSection(column, wanted);
}

void Main::selectNames(const QStringList& names, const QString& current) {
    QHash<QString, int> rows;
    rows.reserve(model_->rowCount());
    for (int row = 0; row < model_->rowCount(); ++row) rows.insert(model_->fileName(row), row);
    QList<int> found;
    for (const QString& name : names)
        if (const auto row = rows.constFind(name); row != rows.cend())
            found << *row;
    if (const auto row = rows.constFind(current); row != rows.cend())
        list_->selectionModel()->setCurrentIndex(model_->index(*row, 0),
                                                 QItemSelectionModel::NoUpdate);
    list_->selectionModel()->select(RowRanges(*model_, found), QItemSelectionModel::ClearAndSelect);
}

void Main::watchFolder(const QStringList& subFolders) {
    const QStringList old = watcher_->directories() + watcher_->files();
    if (!old.isEmpty())
        watcher_->removePaths(old);
    // The watcher knows paths by Qt's own encoding of names, which cannot
    // carry bytes that are not UTF-8; such paths are not watched.
    QStringList paths;
    const auto add = [&paths](const QString& path) {
        if (!fileio::HasEscapedBytes(path))
            paths << path;
    };
    if (!IsFolder(folder_))
        return;
    add(folder_);
    for (const QString& sub : subFolders) add(JoinPath(folder_, sub));
    if (model_->rowCount() <= kWatchedFilesLimit)
        for (int row = 0; row < model_->rowCount(); ++row)
            add(JoinPath(folder_, model_->fileName(row)));
    if (!paths.isEmpty())
        watcher_->addPaths(paths);
}

void Main::onFolderChanged() {
    // Never inside a dialog: a batch run lets events through while it writes
    // the very files listed, and the dialog works on the names it was given.
    if (inDialog_ || loading_) {
        refreshPending_ = true;
        return;
    }
    refresh();
}

void Main::onHeaderClicked(int column) {
    // The first click on a column sorts it ascending; clicking it again
    // flips the direction.
    const Qt::SortOrder order =
        column == model_->sortColumn() && model_->sortOrder() == Qt::AscendingOrder
            ? Qt::DescendingOrder
            : Qt::AscendingOrder;
    BusyCursor busy;
    model_->sort(column, order);
    list_->header()->setSortIndicator(column, order);
}

void Main::execDialog(QDialog& dialog) {
    inDialog_ = true;
    runDialog_(dialog);
    inDialog_ = false;
}

void Main::runBatch(Batch which) {
    // The rows on show may belong to the folder that was listed before.
    if (loading_)
        return;
    if (CheckedCount() <= 0) {
        prompter_.tell(QStringLiteral("可是，您并没有选择 Mp3 文件呀？"),
                       QStringLiteral("没有选择文件"));
        return;
    }
    const TickedFiles files = tickedFiles();
    std::unique_ptr<QDialog> dialog;
    switch (which) {
        case Batch::ID3v1:
            dialog = std::make_unique<frmID3v1Tag>(files, FillListFlag, prompter_, this);
            break;
        case Batch::ID3v2:
            dialog = std::make_unique<frmID3v2Tag>(files, FillListFlag, prompter_, this);
            break;
        case Batch::FileName:
            dialog = std::make_unique<frmFileName>(files, FillListFlag, prompter_, this);
            break;
        case Batch::FixEncoding:
            dialog = std::make_unique<frmFixEncoding>(files, FillListFlag, prompter_, this);
            break;
    }
    execDialog(*dialog);
    if (FillListFlag) {
        // A rename gives its files new names; "勾选上次操作的文件" finds
        // them by those.
        const auto* renamer = qobject_cast<frmFileName*>(dialog.get());
        lastBatchNames_ =
            renamer && !renamer->namesAfterRun().isEmpty() ? renamer->namesAfterRun() : files.names;
    }
    dialog.reset();
    updateUndoButton();
    if (FillListFlag)
        FillList();
    else if (refreshPending_)
        refresh();
}

void Main::runSetup() {
    frmSetup dialog(prompter_, this);
    execDialog(dialog);
    if (refreshPending_)
        refresh();
}

void Main::checkLastBatchFiles() {
    model_->checkNames(lastBatchNames_);
}

QList<int> Main::actedRows() const {
    QList<int> rows = list_->selectedRowNumbers();
    if (rows.isEmpty() && list_->currentIndex().isValid())
        rows << list_->currentIndex().row();
    return rows;
}

void Main::setSelectedTicks(bool checked) {
    const QList<int> rows = actedRows();
    if (!rows.isEmpty())
        model_->setCheckedRows(rows, checked);
}

void Main::toggleSelectedTicks() {
    // One state for all: ticked unless the current row already is, so a
    // selection of mixed rows ends up alike rather than each inverted.
    const QModelIndex current = list_->currentIndex();
    const QList<int> rows = actedRows();
    if (rows.isEmpty())
        return;
    const int lead = current.isValid() ? current.row() : rows.first();
    model_->setCheckedRows(rows, !model_->isChecked(lead));
}

void Main::openContainingFolder() {
    const QList<int> rows = actedRows();
    if (rows.isEmpty())
        return;
    const QModelIndex current = list_->currentIndex();
    const int row =
        current.isValid() && rows.contains(current.row()) ? current.row() : rows.first();
    openUrl_(UrlOfPath(FolderOf(JoinPath(folder_, model_->fileName(row)))));
}

void Main::copyFilePaths() {
    QStringList paths;
    for (const int row : actedRows())
        paths << DisplayFileName(JoinPath(folder_, model_->fileName(row)));
    if (!paths.isEmpty())
        QGuiApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void Main::openDetails() {
    if (loading_)
        return;
    // The current row: the one double-clicked, or Return's. Ticks stay as
    // they are; the list is not reloaded.
    QModelIndex index = list_->currentIndex();
    if (!index.isValid()) {
        const QList<int> rows = list_->selectedRowNumbers();
        if (rows.isEmpty())
            return;
        index = model_->index(rows.first(), 0);
    }
    frmMp3Info dialog(folder_, model_->fileName(index.row()), this);
    execDialog(dialog);
    if (refreshPending_)
        refresh();
}

void Main::saveWriteSettings() {
    ApplyOptions options;
    options.keepMtime = keepMtime_->isChecked();
    options.splitHardLinks = splitLinks_->isChecked();
    SaveWriteSettings(options);
}

void Main::recoverInterruptedBatches() {
    if (!QFileInfo::exists(JournalFolder()))
        return;  // nothing was ever journaled here
    const auto updateUndo = qScopeGuard([this] { updateUndoButton(); });
    RecoveryReport report;
    try {
        Journal journal(JournalFolder());
        WorkProgress work(this, QStringLiteral("正在检查上次没有做完的修改……"));
        work.run([&](const WorkProgress::Control&) { report = journal.recover(); });
    } catch (const StoreError& error) {
        prompter_.tell(QStringLiteral("无法读取操作记录：") + error.message(),
                       QStringLiteral("恢复中断的修改"));
        return;
    }
    if (report.anythingToSay()) {
        const ReportMessage message = RecoveryMessage(report);
        prompter_.tell(message.text, message.caption);
    }
}

void Main::undoLastBatch() {
    if (loading_)
        return;
    Journal journal(JournalFolder());
    QList<BatchSummary> batches;
    try {
        batches = journal.undoable();
    } catch (const StoreError& error) {
        prompter_.tell(QStringLiteral("无法读取操作记录：") + error.message(),
                       QStringLiteral("撤销上次修改"));
        return;
    }
    if (batches.isEmpty()) {
        const ReportMessage nothing = NothingToUndoMessage();
        prompter_.tell(nothing.text, nothing.caption);
        return;
    }
    const ReportMessage question = UndoQuestion(batches.first());
    if (!prompter_.ask(question.text, question.caption))
        return;
    const UndoReport report =
        RunBatchOnWorker<UndoReport>(this, QStringLiteral("正在撤销：已完成 %1 / %2 个文件……"),
                                     [&](const BatchOptions& options) {
                                         return RunUndo(journal, batches.first().number, options);
                                     });
    const ReportMessage message = UndoReportMessage(report);
    prompter_.tell(message.text, message.caption);
    updateUndoButton();
    FillList();
}

void Main::updateUndoButton() {
    QList<BatchSummary> batches;
    // Looking must not create the journal's folder.
    if (QFileInfo::exists(JournalFolder())) {
        try {
            Journal journal(JournalFolder());
            batches = journal.undoable();
        } catch (const StoreError&) {
            // Left enabled: a click says what is wrong with the journal.
            undo_->setEnabled(true);
            undo_->setToolTip(QStringLiteral("Ctrl+Z"));
            return;
        }
    }
    undo_->setEnabled(!batches.isEmpty());
    undo_->setToolTip(batches.isEmpty()
                          ? NothingToUndoMessage().text + QStringLiteral(" (Ctrl+Z)")
                          : UndoOfferText(batches.first()) + QStringLiteral(" (Ctrl+Z)"));
}

void Main::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !loading_ && !inDialog_)
        updateUndoButton();
    QWidget::changeEvent(event);
}
