#include "dialogs/frmsetup.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "batch/columns.h"
#include "batch/text.h"
#include "batch/writesettings.h"
#include "store/error.h"
#include "ui/font.h"
#include "ui/prompter.h"

namespace {

QListWidgetItem* Entry(int code) {
    auto* item = new QListWidgetItem(ColumnSetupText(code));
    item->setData(Qt::UserRole, code);
    return item;
}

QListWidget* ColumnList(const char* name) {
    auto* list = new QListWidget;
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setFont(WindowFont());
    const QFontMetrics metrics(WindowFont());
    // Wide enough for the longest entry, "文件属性 - 是否存档文件"; tall enough
    // to show most of the catalogue.
    list->setMinimumSize(metrics.horizontalAdvance(QStringLiteral("文件属性 - 是否存档文件")) + 40,
                         metrics.height() * 16);
    return list;
}

QString SaveFailedText(const StoreError& e) {
    return QStringLiteral("新的系统设置没有保存。") + kMessageBreak + e.message() + kMessageBreak +
           QStringLiteral("请确认程序所在的文件夹可以写入，然后再试，谢谢！");
}

}  // namespace

frmSetup::frmSetup(Prompter& prompter, QWidget* parent) : QDialog(parent), prompter_(prompter) {
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("系统设置"));
    setFont(WindowFont());

    lvwColumnHeaders = ColumnList("lvwColumnHeaders");
    for (int code : CatalogueCodes()) lvwColumnHeaders->addItem(Entry(code));
    lvwSelectedColumns = ColumnList("lvwSelectedColumns");
    for (int code : ReadColumnCodes()) lvwSelectedColumns->addItem(Entry(code));

    cmdSelect = new QPushButton(QStringLiteral(">>"));
    cmdSelect->setObjectName(QStringLiteral("cmdSelect"));
    cmdSelect->setToolTip(QStringLiteral("把左边选中的项目加到右边表头的末尾"));
    cmdUnselect = new QPushButton(QStringLiteral("<<"));
    cmdUnselect->setObjectName(QStringLiteral("cmdUnselect"));
    cmdUnselect->setToolTip(QStringLiteral("从右边的表头中去掉选中的项目"));
    for (QPushButton* arrow : {cmdSelect, cmdUnselect}) {
        arrow->setFont(WindowFont());
        arrow->setAutoDefault(false);
        arrow->setFixedWidth(QFontMetrics(WindowFont()).horizontalAdvance(QStringLiteral("中")) *
                             4);
    }

    cmdOK = new QPushButton(QStringLiteral("确定（&O）"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel = new QPushButton(QStringLiteral("取消（&C）"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {cmdOK, cmdCancel}) {
        button->setFont(WindowFont());
        button->setAutoDefault(false);
        button->setMinimumWidth(QFontMetrics(WindowFont()).horizontalAdvance(button->text()) + 24);
    }

    connect(cmdSelect, &QPushButton::clicked, this, &frmSetup::select);
    connect(cmdUnselect, &QPushButton::clicked, this, &frmSetup::unselect);
    connect(lvwColumnHeaders, &QListWidget::itemDoubleClicked, this, &frmSetup::select);
    connect(lvwSelectedColumns, &QListWidget::itemDoubleClicked, this, &frmSetup::unselect);
    connect(cmdOK, &QPushButton::clicked, this, &frmSetup::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* Frame1 = new QGroupBox(QStringLiteral("Mp3 列表的表头设定"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFont(WindowFont());
    auto* arrows = new QVBoxLayout;
    arrows->addStretch(1);
    arrows->addWidget(cmdSelect);
    arrows->addSpacing(12);
    arrows->addWidget(cmdUnselect);
    arrows->addStretch(1);
    auto* lists = new QHBoxLayout(Frame1);
    lists->addWidget(lvwColumnHeaders, 1);
    lists->addLayout(arrows);
    lists->addWidget(lvwSelectedColumns, 1);

    const TextSettings text = LoadTextSettings();
    cboLegacyCodePage = new QComboBox;
    cboLegacyCodePage->setObjectName(QStringLiteral("cboLegacyCodePage"));
    cboLegacyCodePage->addItems(LegacyCodePageCaptions());
    cboLegacyCodePage->setCurrentIndex(int(LegacyCodePageChoices().indexOf(text.legacy)));
    cboWriteEncoding = new QComboBox;
    cboWriteEncoding->setObjectName(QStringLiteral("cboWriteEncoding"));
    cboWriteEncoding->addItems(WriteModeCaptions());
    cboWriteEncoding->setCurrentIndex(text.write == id3v2text::WriteMode::Gbk ? 0 : 1);
    auto* Frame2 = new QGroupBox(QStringLiteral("文字编码"));
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setFont(WindowFont());
    auto* form = new QFormLayout(Frame2);
    form->addRow(QStringLiteral("旧编码文字按…解读(&L)"), cboLegacyCodePage);
    form->addRow(QStringLiteral("ID3v2 文字编码(&E)"), cboWriteEncoding);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addSpacing(12);
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addWidget(Frame2);
    layout->addLayout(buttons);

    if (lvwColumnHeaders->count() > 0)
        lvwColumnHeaders->setCurrentRow(0);
    updateUnselect();
}

QList<int> frmSetup::selectedCodes() const {
    QList<int> codes;
    codes.reserve(lvwSelectedColumns->count());
    for (int i = 0; i < lvwSelectedColumns->count(); ++i)
        codes.append(lvwSelectedColumns->item(i)->data(Qt::UserRole).toInt());
    return codes;
}

TextSettings frmSetup::textSettings() const {
    TextSettings settings;
    settings.legacy = LegacyCodePageChoices().value(cboLegacyCodePage->currentIndex());
    settings.write = cboWriteEncoding->currentIndex() == 1 ? id3v2text::WriteMode::Unicode
                                                           : id3v2text::WriteMode::Gbk;
    return settings;
}

void frmSetup::SaveSetting() {
    ::SaveSetting(selectedCodes());
    SaveTextSettings(textSettings());
    ApplyTextSettings(textSettings());
}

void frmSetup::select() {
    const QList<QListWidgetItem*> chosen = lvwColumnHeaders->selectedItems();
    if (chosen.isEmpty())
        return;
    auto* item = Entry(chosen.first()->data(Qt::UserRole).toInt());
    lvwSelectedColumns->addItem(item);
    lvwSelectedColumns->scrollToItem(item);
    updateUnselect();
}

void frmSetup::unselect() {
    const QList<QListWidgetItem*> chosen = lvwSelectedColumns->selectedItems();
    if (chosen.isEmpty())
        return;
    const int row = lvwSelectedColumns->row(chosen.first());
    delete lvwSelectedColumns->takeItem(row);
    // The entry that moved up into the removed one's place is selected, so
    // pressing "<<" again goes on removing.
    if (lvwSelectedColumns->count() > 0)
        lvwSelectedColumns->setCurrentRow(qMin(row, lvwSelectedColumns->count() - 1));
    updateUnselect();
}

void frmSetup::ok() {
    try {
        SaveSetting();
    } catch (const StoreError& e) {
        prompter_.tell(SaveFailedText(e), QStringLiteral("设置未保存"));
        return;
    }
    prompter_.tell(QStringLiteral("新的系统设置要在软件下次启动才能生效！"),
                   QStringLiteral("设置完成"));
    accept();
}

void frmSetup::updateUnselect() {
    cmdUnselect->setEnabled(lvwSelectedColumns->count() > 0);
}
