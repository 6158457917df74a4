#include "dialogs/frmfilename.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "store/filefacts.h"
#include "ui/busy.h"
#include "ui/font.h"
#include "ui/marks.h"
#include "ui/prompter.h"
#include "ui/workprogress.h"

namespace {

// Where each visible pattern stands: left column 1..5 top to bottom; right
// column 6, 9, 7, then the hidden 0, then 8, level with the left rows.
struct Place {
    int index;
    int row;
    int column;
};
constexpr Place kPlaces[] = {
    {1, 0, 0}, {2, 1, 0}, {3, 2, 0}, {4, 3, 0}, {5, 4, 0},
    {6, 0, 1}, {9, 1, 1}, {7, 2, 1}, {0, 3, 1}, {8, 4, 1},
};

// Each preview item keeps the index of its row in rows_.
constexpr int kRowRole = Qt::UserRole;

}  // namespace

frmFileName::frmFileName(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                         QWidget* parent)
    : QDialog(parent),
      files_(files),
      fillListFlag_(FillListFlag),
      prompter_(prompter),
      readyMark_(ReadyMark()),
      blockedMark_(BlockedMark()) {
    setObjectName(QStringLiteral("frmFileName"));
    setWindowTitle(QStringLiteral("修改文件名"));
    setFont(WindowFont());
    setModal(true);

    prompt_ = new QLabel(
        QStringLiteral("您选定了 %1 个 Mp3 文件，要修改它们的文件名。").arg(files_.names.size()),
        this);
    prompt_->setObjectName(QStringLiteral("labPrompt"));
    auto* instruction = new QLabel(
        QStringLiteral("请在下面点选要把文件名修改成哪种形式，然后单击底部“确定”按钮。"), this);
    auto* note = new QLabel(
        QStringLiteral("注意： 本工具是根据每个 Mp3 的 ID3v1 标签来修改文件名的。"), this);
    for (QLabel* label : {prompt_, instruction, note}) label->setWordWrap(true);

    modes_ = new QButtonGroup(this);
    auto* options = new QGridLayout;
    options->setHorizontalSpacing(24);
    for (const Place& place : kPlaces) {
        auto* button = new QRadioButton(RenamePatternCaption(place.index), this);
        button->setObjectName(QStringLiteral("optFileNameChangeMode_%1").arg(place.index));
        modes_->addButton(button, place.index);
        options->addWidget(button, place.row, place.column);
    }
    // Button 0 is checked so that no visible pattern is: the dialog opens
    // with an empty preview, and the user can never pick 0 again.
    modes_->button(0)->setVisible(false);
    modes_->button(0)->setChecked(true);
    options->setColumnStretch(2, 1);
    connect(modes_, &QButtonGroup::idClicked, this, [this](int index) {
        if (index > 0) {
            buildPreview(index);
        }
    });

    auto* frame = new QGroupBox(QStringLiteral("文件名修改结果预览"), this);
    preview_ = new QTreeWidget(frame);
    preview_->setObjectName(QStringLiteral("lvwFileNamePreview"));
    preview_->setColumnCount(3);
    preview_->setHeaderLabels(
        {QStringLiteral("原文件名"), QStringLiteral("修改后文件名"), QStringLiteral("原因")});
    preview_->setRootIsDecorated(false);
    preview_->setUniformRowHeights(true);
    preview_->setAllColumnsShowFocus(true);
    preview_->setIconSize(QSize(16, 16));
    preview_->setTextElideMode(Qt::ElideMiddle);
    preview_->setSortingEnabled(false);  // sorted only by our own header clicks
    // The two names share the width equally; the reason keeps room for the
    // usual short texts and can be widened.
    preview_->header()->setStretchLastSection(false);
    preview_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    preview_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    preview_->header()->setSectionResizeMode(2, QHeaderView::Interactive);
    preview_->header()->resizeSection(2, preview_->fontMetrics().horizontalAdvance(
                                             QStringLiteral("新文件名含有不允许的字符“?”“:”")) +
                                             24);
    preview_->header()->setSectionsClickable(true);
    preview_->header()->setSortIndicatorShown(false);
    connect(preview_->header(), &QHeaderView::sectionClicked, this, &frmFileName::sortPreview);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(preview_);

    ok_ = new QPushButton(QStringLiteral("确定（&O）"), this);
    ok_->setObjectName(QStringLiteral("cmdModifyID3v1"));
    cancel_ = new QPushButton(QStringLiteral("取消（&C）"), this);
    cancel_->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {ok_, cancel_}) button->setMinimumWidth(100);
    connect(ok_, &QPushButton::clicked, this, &frmFileName::modify);
    connect(cancel_, &QPushButton::clicked, this, &frmFileName::cancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addWidget(instruction);
    layout->addWidget(note);
    layout->addSpacing(4);
    layout->addLayout(options);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);

    // Cancel first in the tab order and focused at opening, OK second.
    setTabOrder(cancel_, ok_);
    QWidget* previous = ok_;
    for (int index = kFirstRenamePattern; index <= kLastRenamePattern; ++index) {
        setTabOrder(previous, modes_->button(index));
        previous = modes_->button(index);
    }
    setTabOrder(previous, preview_);
    cancel_->setFocus();

    resize(880, 620);
}

QRadioButton* frmFileName::optFileNameChangeMode(int index) const {
    return qobject_cast<QRadioButton*>(modes_->button(index));
}

std::vector<RenameRow> frmFileName::previewRows() const {
    std::vector<RenameRow> rows;
    const int count = preview_->topLevelItemCount();
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const int index = preview_->topLevelItem(i)->data(0, kRowRole).toInt();
        rows.push_back(rows_[size_t(index)]);
    }
    return rows;
}

void frmFileName::buildPreview(int pattern) {
    // Read afresh at every click: the preview shows the disk as it is now.
    preview_->clear();
    {
        // The preview is read on the worker too; Cancel keeps the rows read
        // so far out of it (an empty preview renames nothing).
        WorkProgress work(this, QStringLiteral("正在读取标签：%1 / %2"));
        std::vector<RenameRow> rows;
        work.run([&](const WorkProgress::Control& control) {
            rows = PlanRename(files_, pattern, control.progress, control.cancelled);
        });
        rows_ = work.cancelRequested() ? std::vector<RenameRow>() : std::move(rows);
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows_.size()));
    for (size_t i = 0; i < rows_.size(); ++i) {
        auto* item = new QTreeWidgetItem;
        item->setData(0, kRowRole, int(i));
        showRow(item);
        items.append(item);
    }
    preview_->addTopLevelItems(items);
    // Once the user has sorted, the list stays sorted by that column and
    // direction for later patterns too.
    if (preview_->header()->isSortIndicatorShown()) {
        preview_->sortItems(preview_->header()->sortIndicatorSection(), order_);
        checkBatch();
    }
}

void frmFileName::showRow(QTreeWidgetItem* item) const {
    const RenameRow& row = rows_[size_t(item->data(0, kRowRole).toInt())];
    const QString reason = RenameRowReason(row);
    const QStringList texts = {DisplayFileName(ListedName(row, files_.folder)),
                               PreviewNewNameText(row), reason};
    for (int column = 0; column < texts.size(); ++column) {
        item->setText(column, texts[column]);
        // A blocked row says why wherever the pointer rests on it.
        item->setToolTip(column, row.ready || column == 2
                                     ? texts[column]
                                     : texts[column] + QStringLiteral("\n原因：") + reason);
    }
    item->setIcon(0, row.ready ? readyMark_ : blockedMark_);
}

void frmFileName::checkBatch() {
    // Which of two rows with one target comes second depends on the order
    // shown, which is the order the run follows.
    std::vector<RenameRow> shown = previewRows();
    MarkSameTargets(shown);
    for (int i = 0; i < preview_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = preview_->topLevelItem(i);
        rows_[size_t(item->data(0, kRowRole).toInt())] = shown[size_t(i)];
        showRow(item);
    }
}

void frmFileName::sortPreview(int column) {
    // The direction flips on every click, whichever column was clicked.
    order_ = order_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    preview_->header()->setSortIndicatorShown(true);
    preview_->header()->setSortIndicator(column, order_);
    preview_->sortItems(column, order_);
    checkBatch();
}

void frmFileName::modify() {
    if (!prompter_.ask(kRenameConfirmText, kRenameConfirmCaption)) {
        return;
    }
    fillListFlag_ = true;
    const std::vector<RenameRow> rows = previewRows();
    RenameReport report;
    WorkProgress work(this, QStringLiteral("正在修改文件名：%1 / %2"));
    work.run([&](const WorkProgress::Control& control) {
        BatchOptions options;
        options.cancelled = control.cancelled;
        options.progress = control.progress;
        report = RunRename(rows, options);
    });
    QStringList names;
    for (const RenameRow& row : rows) names << ListedName(row, files_.folder);
    namesAfterRun_.clear();
    for (size_t i = 0; i < rows.size(); ++i) {
        QString name = names.at(qsizetype(i));
        if (report.rows[i].outcome == RenameOutcome::Renamed) {
            QString relative = rows[i].newName;
            relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
            const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
            name = name.left(slash + 1) + relative;
        }
        namesAfterRun_ << name;
    }
    prompter_.tellDetailed(RenameReportText(report), kRenameReportCaption,
                           RenameDetailsText(names, report));
    accept();
}

void frmFileName::cancel() {
    fillListFlag_ = false;
    reject();
}
