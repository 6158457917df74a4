#include "dialogs/frmfixencoding.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "store/filefacts.h"
#include "ui/font.h"
#include "ui/prompter.h"
#include "ui/workprogress.h"

namespace {

// Where a fix row keeps its place in the preview: file, fix.
constexpr int kFileRole = Qt::UserRole;
constexpr int kFixRole = Qt::UserRole + 1;

QString StoredAs(const QString& text, const QString& how) {
    return text + QStringLiteral("（") + how + QStringLiteral("）");
}

}  // namespace

frmFixEncoding::frmFixEncoding(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                               QWidget* parent)
    : QDialog(parent), files_(files), FillListFlag_(FillListFlag), prompter_(prompter) {
    setObjectName(QStringLiteral("frmFixEncoding"));
    setWindowTitle(QStringLiteral("修复乱码 / 转为 Unicode"));
    setFont(WindowFont());

    labPrompt = new QLabel(this);
    labPrompt->setObjectName(QStringLiteral("labPrompt"));
    labPrompt->setWordWrap(true);
    lvwFixes = new QTreeWidget(this);
    lvwFixes->setObjectName(QStringLiteral("lvwFixes"));
    lvwFixes->setHeaderLabels(
        {QStringLiteral("文件 / 字段"), QStringLiteral("现在"), QStringLiteral("修改后")});
    lvwFixes->setRootIsDecorated(false);
    lvwFixes->setUniformRowHeights(true);
    lvwFixes->header()->setStretchLastSection(true);
    cmdOK = new QPushButton(QStringLiteral("确定（&O）"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("取消（&C）"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &frmFixEncoding::confirm);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { FillListFlag_ = false; });
    connect(lvwFixes, &QTreeWidget::itemChanged, this, [this] { updateOK(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addSpacing(12);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labPrompt);
    layout->addWidget(lvwFixes, 1);
    layout->addLayout(buttons);
    resize(760, 460);

    WorkProgress work(parent, QStringLiteral("正在读取 Mp3 文件，已完成 %1 / %2……"));
    work.run([&](const WorkProgress::Control& control) {
        plans_ = PlanEncodingFixes(files_, control.progress, control.cancelled);
    });
    fill();
}

void frmFixEncoding::fill() {
    const QSignalBlocker blocker(lvwFixes);
    lvwFixes->clear();
    int changing = 0;
    int files = 0;
    for (qsizetype f = 0; f < plans_.size(); ++f) {
        const FileEncodingFixes& plan = plans_[f];
        auto* file = new QTreeWidgetItem(lvwFixes);
        file->setText(0, DisplayFileName(plan.name));
        QFont bold = file->font(0);
        bold.setBold(true);
        file->setFont(0, bold);
        file->setFirstColumnSpanned(false);
        if (!plan.error.isEmpty()) {
            file->setText(1, plan.error);
            file->setForeground(1, QColor(160, 0, 0));
        } else if (plan.fixes.isEmpty()) {
            file->setText(1, NothingToFixText());
            file->setForeground(1, QColor(96, 96, 96));
        } else {
            ++files;
        }
        for (qsizetype i = 0; i < plan.fixes.size(); ++i) {
            const EncodingFix& fix = plan.fixes[i];
            auto* row = new QTreeWidgetItem(file);
            row->setText(0, QStringLiteral("    ") + fix.caption);
            row->setText(1, StoredAs(fix.oldText, fix.from));
            row->setData(0, kFileRole, int(f));
            row->setData(0, kFixRole, int(i));
            if (fix.leftBecause.isEmpty()) {
                row->setText(2, StoredAs(fix.newText, fix.to));
                row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
                row->setCheckState(0, Qt::Checked);
                ++changing;
            } else {
                row->setText(2, fix.leftBecause);
                row->setForeground(2, QColor(160, 0, 0));
            }
        }
    }
    lvwFixes->expandAll();
    for (int c = 0; c < 2; ++c) lvwFixes->resizeColumnToContents(c);
    labPrompt->setText(
        QStringLiteral("共选择了 %1 个文件，其中 %2 个文件有 %3 处文字需要修复或转换。"
                       "取消勾选不想修改的字段，然后按“确定”。")
            .arg(plans_.size())
            .arg(files)
            .arg(changing));
    updateOK();
}

QList<FileEncodingFixes> frmFixEncoding::chosen() const {
    QList<FileEncodingFixes> result = plans_;
    for (auto& plan : result) plan.fixes.clear();
    for (int f = 0; f < lvwFixes->topLevelItemCount(); ++f) {
        const QTreeWidgetItem* file = lvwFixes->topLevelItem(f);
        for (int i = 0; i < file->childCount(); ++i) {
            const QTreeWidgetItem* row = file->child(i);
            const int at = row->data(0, kFileRole).toInt();
            const EncodingFix& fix = plans_[at].fixes[row->data(0, kFixRole).toInt()];
            if (!fix.leftBecause.isEmpty() || row->checkState(0) == Qt::Checked)
                result[at].fixes.append(fix);
        }
    }
    return result;
}

void frmFixEncoding::updateOK() {
    bool any = false;
    for (const FileEncodingFixes& plan : chosen())
        for (const EncodingFix& fix : plan.fixes) any = any || fix.leftBecause.isEmpty();
    cmdOK->setEnabled(any);
}

void frmFixEncoding::confirm() {
    const QList<FileEncodingFixes> wanted = chosen();
    FillListFlag_ = true;
    const EditReport report = RunTagBatch(this, [&](const BatchOptions& options) {
        return RunEncodingFixes(files_, wanted, options);
    });
    for (const ReportMessage& message : ReportMessages(report))
        prompter_.tell(message.text, message.caption);
    accept();
}
