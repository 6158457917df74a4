#include "dialogs/frmfromname.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "batch/writesettings.h"
#include "store/filefacts.h"
#include "ui/font.h"
#include "ui/marks.h"

namespace {

void Colour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// The placeholders a tag of `version` can take from a name.
QString Placeholders(TagVersion version) {
    QStringList words;
    for (int f = 0; f < kNameFieldCount; ++f) {
        const auto field = NameField(f);
        if (field == NameField::FileName)
            continue;
        if (FromNamePatternProblem(
                ParseNamePattern(QStringLiteral("%") + NameFieldWord(field) + QStringLiteral("%")),
                version)
                .isEmpty())
            words << QStringLiteral("%") + NameFieldWord(field) + QStringLiteral("%");
    }
    return words.join(QLatin1Char(' '));
}

}  // namespace

frmFromName::frmFromName(const TickedFiles& files, TagVersion version, QWidget* parent)
    : QDialog(parent),
      files_(files),
      version_(version),
      readyMark_(ReadyMark()),
      blockedMark_(BlockedMark()) {
    setObjectName(QStringLiteral("frmFromName"));
    setWindowTitle(QStringLiteral("从文件名提取"));
    setFont(WindowFont());
    setModal(true);

    auto* intro = new QLabel(
        QStringLiteral("按下面的格式从每个文件的文件名（不含扩展名）中取出各项内容，"
                       "单击“确定”写入 %1 标签；文件名与格式不符的文件不作修改。")
            .arg(version == TagVersion::V1 ? QStringLiteral("ID3v1") : QStringLiteral("ID3v2")),
        this);
    intro->setWordWrap(true);
    pattern_ = new QLineEdit(LoadFromNamePattern(), this);
    pattern_->setObjectName(QStringLiteral("txtFromNamePattern"));
    pattern_->setPlaceholderText(QStringLiteral("%音轨% %艺术家% - %歌名%"));
    auto* patternLabel = new QLabel(QStringLiteral("格式(&F)："), this);
    patternLabel->setBuddy(pattern_);
    auto* patternRow = new QHBoxLayout;
    patternRow->addWidget(patternLabel);
    patternRow->addWidget(pattern_, 1);
    check_ = new QLabel(this);
    check_->setObjectName(QStringLiteral("labPatternCheck"));
    check_->setTextFormat(Qt::PlainText);
    check_->setWordWrap(true);

    preview_ = new QTreeWidget(this);
    preview_->setObjectName(QStringLiteral("lvwFromNamePreview"));
    preview_->setRootIsDecorated(false);
    preview_->setUniformRowHeights(true);
    preview_->setAllColumnsShowFocus(true);
    preview_->setIconSize(QSize(16, 16));
    preview_->setTextElideMode(Qt::ElideMiddle);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("labSummary"));

    ok_ = new QPushButton(QStringLiteral("确定（&O）"), this);
    ok_->setObjectName(QStringLiteral("cmdOK"));
    auto* cancel = new QPushButton(QStringLiteral("取消（&C）"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {ok_, cancel}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(96);
    }
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(patternRow);
    layout->addWidget(check_);
    layout->addWidget(preview_, 1);
    layout->addLayout(buttons);

    typing_ = new QTimer(this);
    typing_->setSingleShot(true);
    typing_->setInterval(200);
    connect(typing_, &QTimer::timeout, this, &frmFromName::buildPreview);
    connect(pattern_, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));

    setTabOrder(pattern_, preview_);
    setTabOrder(preview_, ok_);
    setTabOrder(ok_, cancel);
    pattern_->setFocus();
    buildPreview();
    resize(820, 560);
}

QString frmFromName::pattern() const {
    return pattern_->text();
}

void frmFromName::buildPreview() {
    preview_->clear();
    const NamePattern pattern = ParseNamePattern(pattern_->text());
    const QString problem = FromNamePatternProblem(pattern, version_);
    if (!problem.isEmpty()) {
        Colour(check_, QColor(192, 0, 0));
        check_->setText(problem);
        preview_->setHeaderLabels({QStringLiteral("文件名"), QStringLiteral("说明")});
        summary_->clear();
        ok_->setEnabled(false);
        return;
    }
    Colour(check_, QColor(0, 0, 255));
    check_->setText(QStringLiteral("可用的占位符：") + Placeholders(version_));
    const std::vector<NameField> fields = pattern.fields();
    QStringList headers = {QStringLiteral("文件名")};
    for (NameField field : fields) headers << NameFieldWord(field);
    headers << QStringLiteral("说明");
    preview_->setHeaderLabels(headers);

    int matched = 0;
    QList<QTreeWidgetItem*> items;
    items.reserve(files_.names.size());
    for (const QString& name : files_.names) {
        const FromNameRow row = MatchFileName(pattern, FileNameOf(name), version_);
        auto* item = new QTreeWidgetItem;
        item->setText(0, DisplayFileName(name));
        item->setIcon(0, row.matched ? readyMark_ : blockedMark_);
        for (size_t i = 0; i < fields.size(); ++i)
            item->setText(int(i) + 1, row.values[size_t(fields[i])]);
        item->setText(int(fields.size()) + 1,
                      row.matched ? QString() : row.reason + QStringLiteral("，跳过"));
        if (!row.matched) {
            for (int column = 0; column < headers.size(); ++column)
                item->setForeground(column, QColor(160, 0, 0));
        }
        item->setToolTip(0, row.reason);
        matched += row.matched;
        items.append(item);
    }
    preview_->addTopLevelItems(items);
    preview_->header()->setStretchLastSection(true);
    preview_->header()->resizeSection(0, 260);
    for (int column = 1; column <= int(fields.size()); ++column)
        preview_->header()->resizeSection(column, 110);
    summary_->setText(QStringLiteral("%1 个文件可以提取，%2 个文件的文件名与格式不符")
                          .arg(matched)
                          .arg(files_.names.size() - matched));
    ok_->setEnabled(matched > 0);
}

void frmFromName::done(int result) {
    if (result == QDialog::Accepted) {
        // OK pressed before the preview caught up with the typing.
        if (typing_->isActive()) {
            typing_->stop();
            buildPreview();
        }
        if (!ok_->isEnabled())
            return;
        SaveFromNamePattern(pattern_->text());
    }
    QDialog::done(result);
}
