#include "app/mainwindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>

#include "app/mp3listmodel.h"
#include "app/mp3listview.h"
#include "app/startplace.h"
#include "batch/columns.h"
#include "batch/mp3list.h"
#include "dialogs/frmfilename.h"
#include "dialogs/frmid3v1tag.h"
#include "dialogs/frmid3v2tag.h"
#include "dialogs/frmmp3info.h"
#include "dialogs/frmsetup.h"
#include "store/error.h"
#include "store/filefacts.h"
#include "store/fileio.h"
#include "store/id3v1.h"
#include "ui/busy.h"
#include "ui/font.h"
#include "ui/prompter.h"

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

}  // namespace

Main::Main(Prompter& prompter, QWidget* parent)
    : QWidget(parent), prompter_(prompter), runDialog_([](QDialog& dialog) { dialog.exec(); }) {
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
    connect(folders_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QModelIndex current = tree_->currentIndex();
        if (current.isValid() && folders_->filePath(current).startsWith(loaded))
            tree_->scrollTo(current, QAbstractItemView::PositionAtCenter);
    });
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
    fraPath->setFixedWidth(300);

    // Right column, top: the list with the selection buttons and the prompt.
    auto* fraMp3Files = new QGroupBox(
        QStringLiteral("从下表中选择需要修改（标签或文件名）的 Mp3 文件。 "
                       "点击表头可按字段正、反向排序。双击某行可查看该文件的详细信息。"),
        this);
    fraMp3Files->setObjectName(QStringLiteral("fraMp3Files"));
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
    filesLayout->addWidget(list_, 1);
    filesLayout->addLayout(selectLayout);

    // Right column, bottom: the batch operations, then set-up and exit.
    auto* fraTagEditArea = new QGroupBox(
        QStringLiteral("针对上表中选中的 Mp3 文件，进行以下操作，请选择相应按钮"), this);
    fraTagEditArea->setObjectName(QStringLiteral("fraTagEditArea"));
    auto* cmdID3v1 = Button("cmdID3v1", QStringLiteral("修改 ID3v1 标签"), fraTagEditArea);
    auto* cmdID3v2 = Button("cmdID3v2", QStringLiteral("修改 ID3v2 标签"), fraTagEditArea);
    auto* cmdFileName = Button("cmdFileName", QStringLiteral("修改 Mp3 文件名"), fraTagEditArea);
    auto* batchLayout = new QHBoxLayout(fraTagEditArea);
    for (QPushButton* button : {cmdID3v1, cmdID3v2, cmdFileName}) {
        button->setMinimumHeight(36);
        batchLayout->addWidget(button);
    }
    auto* cmdSetup = Button("cmdSetup", QStringLiteral("修改表头设定"), this);
    auto* cmdExit = Button("cmdExit", QStringLiteral("退出程序（&E）"), this);
    auto* endLayout = new QVBoxLayout;
    endLayout->addStretch(1);
    endLayout->addWidget(cmdSetup);
    endLayout->addWidget(cmdExit);
    auto* bottomLayout = new QHBoxLayout;
    bottomLayout->addWidget(fraTagEditArea, 1);
    bottomLayout->addLayout(endLayout);

    auto* rightLayout = new QVBoxLayout;
    rightLayout->addWidget(fraMp3Files, 1);
    rightLayout->addLayout(bottomLayout);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(fraPath);
    layout->addLayout(rightLayout, 1);
    resize(1240, 760);

    connect(cmdCheckAll, &QPushButton::clicked, this, [this] { model_->checkAll(); });
    connect(cmdClearAll, &QPushButton::clicked, this, [this] { model_->clearAll(); });
    connect(cmdReverseSelection, &QPushButton::clicked, this, [this] { model_->invertAll(); });
    connect(cmdID3v1, &QPushButton::clicked, this, [this] { runBatch(Batch::ID3v1); });
    connect(cmdID3v2, &QPushButton::clicked, this, [this] { runBatch(Batch::ID3v2); });
    connect(cmdFileName, &QPushButton::clicked, this, [this] { runBatch(Batch::FileName); });
    connect(cmdSetup, &QPushButton::clicked, this, [this] { runSetup(); });
    connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
    connect(list_, &Mp3ListView::rowClicked, this, [this](int row) { model_->toggle(row); });
    connect(list_, &Mp3ListView::detailsRequested, this, [this] { openDetails(); });
    connect(list_->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { onHeaderClicked(column); });
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
    // scrollTo opens the folder's parents. The folder itself stays closed:
    // opening it would have the tree read every entry of a folder of tens
    // of thousands of files alongside the list's own reading.
    if (index.isValid())
        tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void Main::onTreeCurrentChanged(const QModelIndex& current) {
    if (!followTree_ || !current.isValid())
        return;
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

void Main::openStartPlace(const StartPlace& place) {
    changeFolder(place.folder);
    if (!place.notice.isEmpty())
        prompt_->setText(place.notice + QLatin1Char('\n') + prompt_->text());
    if (place.fileName.isEmpty())
        return;
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (model_->fileName(row) == place.fileName) {
            const QModelIndex index = model_->index(row, 0);
            list_->setCurrentIndex(index);
            list_->scrollTo(index, QAbstractItemView::PositionAtCenter);
            list_->setFocus();
            return;
        }
    }
}

void Main::FillList() {
    // The progress window lets events through while a large folder loads;
    // one of them may move the tree (a folder removed meanwhile). Such a
    // change is loaded once the current load is done, never inside it.
    if (loading_) {
        reloadPending_ = true;
        return;
    }
    loading_ = true;
    QString notice;
    do {
        reloadPending_ = false;
        loadFolder(notice);
    } while (reloadPending_);
    loading_ = false;
    if (!notice.isEmpty())
        prompt_->setText(notice + QLatin1Char('\n') + prompt_->text());
}

void Main::loadFolder(QString& notice) {
    const QString folder = folder_;
    QStringList names;
    try {
        names = ListMp3Files(folder);
    } catch (const StoreError& error) {
        // The list empties, so no row can be joined to a folder it does not
        // belong to; the tree and the current folder still name one folder.
        fileCount_ = 0;
        model_->setRows({});
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

    std::vector<Mp3Row> rows;
    {
        BusyProgress progress(this, QStringLiteral("正在读取 Mp3 文件：已读取 %1 / %2 个"));
        rows = LoadMp3Rows(folder, names, model_->columnCodes(), progress.callback());
    }
    if (folder_ != folder) {
        reloadPending_ = true;
        return;
    }
    fileCount_ = int(names.size());
    model_->setRows(std::move(rows));
}

void Main::onHeaderClicked(int column) {
    const Qt::SortOrder order =
        model_->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    BusyCursor busy;
    model_->sort(column, order);
    list_->header()->setSortIndicator(column, order);
}

void Main::execDialog(QDialog& dialog) {
    runDialog_(dialog);
    moveToTopEdge();
}

void Main::runBatch(Batch which) {
    if (CheckedCount() <= 0) {
        prompter_.tell(QStringLiteral("可是，您并没有选择 Mp3 文件呀？"),
                       QStringLiteral("没有选择文件"));
        moveToTopEdge();
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
    }
    execDialog(*dialog);
    dialog.reset();
    if (FillListFlag)
        FillList();
}

void Main::runSetup() {
    frmSetup dialog(prompter_, this);
    execDialog(dialog);
}

void Main::openDetails() {
    const QModelIndexList selected = list_->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    // The row is found again after the dialog; nothing reorders the list
    // meanwhile, but a persistent index does not depend on that.
    const QPersistentModelIndex row(selected.first());
    model_->setChecked(row.row(), false);
    {
        frmMp3Info dialog(folder_, model_->fileName(row.row()), this);
        execDialog(dialog);
    }
    if (row.isValid())
        model_->setChecked(row.row(), false);
}

void Main::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    moveToTopEdge();
}

void Main::moveToTopEdge() {
    if (!isVisible() || isMinimized() || isMaximized() || isFullScreen())
        return;
    const int top = screen() ? screen()->geometry().top() : 0;
    // For a top-level window, pos() and move() address the frame's corner.
    if (pos().y() != top)
        move(pos().x(), top);
}
