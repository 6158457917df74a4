#include "dialogs/frmfilename.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "batch/writesettings.h"
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
    {1, 0, 0},
    {2, 1, 0},
    {3, 2, 0},
    {4, 3, 0},
    {5, 4, 0},
    {6, 0, 1},
    {9, 1, 1},
    {7, 2, 1},
    {0, 3, 1},
    {8, 4, 1},
    {kCustomRenamePattern, 5, 0},
};

constexpr RenameSource kSources[] = {RenameSource::V1, RenameSource::V2, RenameSource::V2ThenV1};

QString PlaceholderList() {
    QStringList words;
    for (int f = 0; f < kNameFieldCount; ++f)
        words << QStringLiteral("%") + NameFieldWord(NameField(f)) + QStringLiteral("%");
    return words.join(QLatin1Char(' '));
}

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
    note_ = new QLabel(RenameSourceNote(RenameSource::V1), this);
    note_->setObjectName(QStringLiteral("labNote"));
    for (QLabel* label : {prompt_, instruction, note_}) label->setWordWrap(true);

    const RenameSettings remembered = LoadRenameSettings();
    source_ = new QComboBox(this);
    source_->setObjectName(QStringLiteral("comTagSource"));
    for (RenameSource source : kSources) source_->addItem(RenameSourceCaption(source));
    auto* sourceLabel = new QLabel(QStringLiteral("标签来源(&S)："), this);
    sourceLabel->setBuddy(source_);
    windows_ = new QCheckBox(QStringLiteral("兼容 Windows/U 盘文件名"), this);
    windows_->setObjectName(QStringLiteral("chkWindowsNames"));
    windows_->setChecked(remembered.windowsNames);
    windows_->setToolTip(
        QStringLiteral("把 \\ : * ? \" < > | 和控制字符、名字末尾的点和空格换成全角字符，"
                       "超过 255 字节的文件名截短"));
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(sourceLabel);
    sourceRow->addWidget(source_);
    sourceRow->addSpacing(24);
    sourceRow->addWidget(windows_);
    sourceRow->addStretch(1);
    connect(source_, &QComboBox::currentIndexChanged, this, [this](int index) {
        note_->setText(RenameSourceNote(kSources[index]));
        ruleChanged();
    });
    connect(windows_, &QCheckBox::toggled, this, &frmFileName::ruleChanged);

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
    // The own pattern: its button and its text box in a row below the nine.
    auto* own = new QRadioButton(QStringLiteral("自定义(&U)："), this);
    own->setObjectName(QStringLiteral("optFileNameChangeMode_%1").arg(kCustomRenamePattern));
    modes_->addButton(own, kCustomRenamePattern);
    custom_ = new QLineEdit(remembered.customPattern, this);
    custom_->setObjectName(QStringLiteral("txtCustomPattern"));
    custom_->setPlaceholderText(QStringLiteral("%艺术家% - %歌名%"));
    custom_->setToolTip(QStringLiteral("可用的占位符：") + PlaceholderList() +
                        QStringLiteral("；“\\”分隔子文件夹，“%%”表示“%”，扩展名 .mp3 自动加上"));
    auto* ownRow = new QHBoxLayout;
    ownRow->addWidget(own);
    ownRow->addWidget(custom_, 1);
    options->addLayout(ownRow, 5, 0, 1, 3);
    check_ = new QLabel(this);
    check_->setObjectName(QStringLiteral("labPatternCheck"));
    check_->setTextFormat(Qt::PlainText);
    check_->setWordWrap(true);
    options->addWidget(check_, 6, 0, 1, 3);
    options->setColumnStretch(2, 1);
    connect(modes_, &QButtonGroup::idClicked, this, [this](int index) {
        if (index > 0) {
            buildPreview();
        }
    });
    typing_ = new QTimer(this);
    typing_->setSingleShot(true);
    typing_->setInterval(400);
    connect(typing_, &QTimer::timeout, this, &frmFileName::ruleChanged);
    connect(custom_, &QLineEdit::textEdited, this, [this] {
        // Typing in the box chooses the own pattern.
        modes_->button(kCustomRenamePattern)->setChecked(true);
        // A preview of an earlier text would stand for a pattern not typed.
        if (!checkPattern()) {
            preview_->clear();
            rows_.clear();
        }
        typing_->start();
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
    layout->addWidget(note_);
    layout->addLayout(sourceRow);
    layout->addSpacing(4);
    layout->addLayout(options);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);

    // Cancel first in the tab order and focused at opening, OK second.
    setTabOrder(cancel_, ok_);
    QWidget* previous = ok_;
    for (QWidget* next : {static_cast<QWidget*>(source_), static_cast<QWidget*>(windows_)}) {
        setTabOrder(previous, next);
        previous = next;
    }
    for (int index = kFirstRenamePattern; index <= kCustomRenamePattern; ++index) {
        setTabOrder(previous, modes_->button(index));
        previous = modes_->button(index);
    }
    setTabOrder(previous, custom_);
    setTabOrder(custom_, preview_);
    cancel_->setFocus();
    checkPattern();

    resize(900, 680);
}

RenameRule frmFileName::rule() const {
    RenameRule rule;
    rule.pattern = std::max(0, modes_->checkedId());
    rule.custom = custom_->text();
    rule.source = kSources[std::max(0, source_->currentIndex())];
    rule.windowsNames = windows_->isChecked();
    return rule;
}

bool frmFileName::checkPattern() {
    RenameRule custom = rule();
    custom.pattern = kCustomRenamePattern;
    const QString problem = custom_->text().isEmpty() ? QString() : RenameRuleProblem(custom);
    const bool chosen = modes_->checkedId() == kCustomRenamePattern;
    QPalette palette = check_->palette();
    palette.setColor(QPalette::WindowText,
                     problem.isEmpty() ? QColor(0, 0, 255) : QColor(192, 0, 0));
    check_->setPalette(palette);
    if (!problem.isEmpty())
        check_->setText(problem);
    else
        check_->setText(QStringLiteral("可用的占位符：") + PlaceholderList() +
                        QStringLiteral("；“\\”分隔子文件夹"));
    return problem.isEmpty() && !(chosen && custom_->text().isEmpty());
}

void frmFileName::ruleChanged() {
    checkPattern();
    // Nothing to redo before a pattern is chosen.
    if (modes_->checkedId() > 0)
        buildPreview();
}

void frmFileName::done(int result) {
    SaveRenameSettings({custom_->text(), windows_->isChecked()});
    QDialog::done(result);
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

void frmFileName::buildPreview() {
    // A change that comes while the preview is read (a timer in the progress
    // window's event loop) is made once that read is over.
    if (building_) {
        rebuildPending_ = true;
        return;
    }
    // Read afresh at every click: the preview shows the disk as it is now.
    preview_->clear();
    rows_.clear();
    const RenameRule rule = this->rule();
    if (!checkPattern() || !RenameRuleProblem(rule).isEmpty()) {
        // The own pattern's fault, or a placeholder the source lacks, is
        // said under the box; nothing can be renamed meanwhile.
        if (const QString problem = RenameRuleProblem(rule); !problem.isEmpty()) {
            QPalette palette = check_->palette();
            palette.setColor(QPalette::WindowText, QColor(192, 0, 0));
            check_->setPalette(palette);
            check_->setText(problem);
        }
        return;
    }
    building_ = true;
    {
        // The preview is read on the worker too; Cancel keeps the rows read
        // so far out of it (an empty preview renames nothing).
        WorkProgress work(this, QStringLiteral("正在读取标签：%1 / %2"));
        std::vector<RenameRow> rows;
        work.run([&](const WorkProgress::Control& control) {
            rows = PlanRename(files_, rule, control.progress, control.cancelled);
        });
        rows_ = work.cancelRequested() ? std::vector<RenameRow>() : std::move(rows);
    }
    building_ = false;
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
    if (rebuildPending_) {
        rebuildPending_ = false;
        buildPreview();
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
    // OK pressed before the preview caught up with the typing: the run
    // follows the pattern as it stands now, so the preview shows it first.
    if (typing_->isActive()) {
        typing_->stop();
        ruleChanged();
    }
    if (!prompter_.ask(kRenameConfirmText, kRenameConfirmCaption)) {
        return;
    }
    fillListFlag_ = true;
    const std::vector<RenameRow> rows = previewRows();
    const RenameReport report = RunBatchOnWorker<RenameReport>(
        this, QStringLiteral("正在修改文件名：%1 / %2"),
        [&](const BatchOptions& options) { return RunRename(rows, options); });
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
