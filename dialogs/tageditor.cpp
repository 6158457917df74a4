#include "dialogs/tageditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <memory>

#include "batch/writesettings.h"
#include "store/codec.h"
#include "store/id3v1.h"
#include "ui/busy.h"
#include "ui/font.h"
#include "ui/prompter.h"
#include "ui/workprogress.h"

namespace {

QLabel* BlueLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    return label;
}

}  // namespace

QString FileName2TitleCaption() {
    return QStringLiteral("用文件名填写 Mp3 标签的“歌名”字段");
}

TagEditorDialog::TagEditorDialog(const TickedFiles& files, bool& FillListFlag, Prompter& prompter,
                                 QWidget* parent)
    : QDialog(parent), files_(files), FillListFlag_(FillListFlag), prompter_(prompter) {
    setFont(WindowFont());
    // A fixed dialog frame: close button, no minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
}

void TagEditorDialog::buildFace(const QString& caption, const QString& promptEnding,
                                const QList<QCheckBox*>& leading, QCheckBox* fileNameBox,
                                const QList<Row>& rows, const QString& arrayName, int rowSpacing,
                                const QString& okName, QSize client, QWidget* status) {
    setWindowTitle(caption);
    auto* labPrompt = BlueLabel(QStringLiteral("您选定了 ") + QString::number(CheckedCount()) +
                                    QStringLiteral(" 个 Mp3 文件，") + promptEnding,
                                QStringLiteral("labPrompt"), this);
    auto* Label1 = BlueLabel(
        QStringLiteral("请在下面勾选要修改的项目，并在后面的空白处填写要设定的内容，然后单击底部"
                       "“确定”按钮。"),
        QStringLiteral("Label1"), this);
    Label1->setWordWrap(true);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(rowSpacing);
    QWidget* previous = nullptr;
    const auto chain = [&](QWidget* next) {
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    };
    for (QCheckBox* box : leading) {
        grid->addWidget(box, grid->rowCount(), 0, 1, 2);
        chain(box);
    }
    connect(fileNameBox, &QCheckBox::clicked, this, &TagEditorDialog::fileNameBoxClicked);

    checks_.resize(rows.size());
    inputs_.resize(rows.size());
    for (const Row& row : rows) {
        auto* check = new QCheckBox(row.caption, this);
        check->setObjectName(arrayName);
        check->setProperty("index", row.index);
        checks_[row.index] = check;
        inputs_[row.index] = row.input;
        row.input->setEnabled(false);
        // Each row's check box governs its input.
        connect(check, &QCheckBox::clicked, row.input, &QWidget::setEnabled);

        const int line = grid->rowCount();
        // Beside a multi-line box the check box lines up with its first line.
        const bool tall = qobject_cast<QPlainTextEdit*>(row.input) != nullptr;
        grid->addWidget(check, line, 0, Qt::AlignLeft | (tall ? Qt::AlignTop : Qt::AlignVCenter));
        if (tall)
            check->setContentsMargins(0, 3, 0, 0);
        // Inputs without a width of their own fill the row.
        if (row.input->maximumWidth() == QWIDGETSIZE_MAX) {
            grid->addWidget(row.input, line, 1);
        } else {
            grid->addWidget(row.input, line, 1, Qt::AlignLeft);
        }
        chain(check);
        chain(row.input);
    }
    grid->setColumnStretch(1, 1);

    auto* ok = new QPushButton(QStringLiteral("确定（&O）"), this);
    ok->setObjectName(okName);
    auto* cancel = new QPushButton(QStringLiteral("取消（&C）"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    // Enter in a text box must not start a batch run over the user's files.
    for (QPushButton* button : {ok, cancel}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(96);
        chain(button);
    }
    connect(ok, &QPushButton::clicked, this, &TagEditorDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &TagEditorDialog::cancel);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addSpacing(24);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 12);
    layout->addWidget(labPrompt);
    layout->addWidget(Label1);
    layout->addSpacing(4);
    layout->addLayout(grid);
    if (status) {
        layout->addSpacing(4);
        layout->addWidget(status);
    }
    layout->addStretch();
    layout->addSpacing(6);
    layout->addLayout(buttons);

    // The stated size, grown where the fallback CJK face needs more room.
    // The wrapping instructions take the height the width leaves them.
    const int width = std::max(client.width(), layout->minimumSize().width());
    const int height = std::max(client.height(), layout->totalHeightForWidth(width));
    setFixedSize(width, height);
    const QScreen* screen =
        parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());

    // One typed title is not offered for several files.
    if (CheckedCount() > 1)
        checks_[0]->setEnabled(false);
    FileName2TitleFlag_ = false;
}

void TagEditorDialog::fileNameBoxClicked(bool ticked) {
    FileName2TitleFlag_ = ticked;
    checks_[0]->setChecked(ticked);
    checks_[0]->setEnabled(!ticked && CheckedCount() == 1);
    inputs_[0]->setEnabled(false);
}

void TagEditorDialog::confirm() {
    if (const std::optional<ReportMessage> refused = refusal()) {
        prompter_.tell(refused->text, refused->caption);
        return;
    }
    FillListFlag_ = true;
    EditReport report;
    WorkProgress work(this, QStringLiteral("正在修改 Mp3 标签，已完成 %1 / %2 个文件……"));
    work.run([&](const WorkProgress::Control& control) {
        BatchOptions options;
        options.apply = LoadWriteSettings();
        options.cancelled = control.cancelled;
        options.progress = control.progress;
        report = runEdit(files_, options);
    });
    for (const ReportMessage& message : ReportMessages(report)) {
        prompter_.tell(message.text, message.caption);
    }
    accept();
}

void TagEditorDialog::cancel() {
    FillListFlag_ = false;
    reject();
}

QValidator::State CP936WidthValidator::validate(QString& input, int& pos) const {
    Q_UNUSED(pos);
    return CP936Length(input) <= width_ ? Acceptable : Invalid;
}

int CP936Length(const QString& text) {
    return int(EncodeCP936(text).size());
}
void LimitPlainText(QPlainTextEdit* edit, int width) {
    struct Accepted {
        QString text;
        int caret = 0;
    };
    auto accepted = std::make_shared<Accepted>(Accepted{edit->toPlainText(), 0});
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, width, accepted] {
        const QString text = edit->toPlainText();
        if (CP936Length(text) <= width) {
            accepted->text = text;
            accepted->caret = edit->textCursor().position();
            return;
        }
        const QSignalBlocker blocker(edit);
        edit->setPlainText(accepted->text);
        QTextCursor caret = edit->textCursor();
        caret.setPosition(std::min(accepted->caret, int(accepted->text.size())));
        edit->setTextCursor(caret);
    });
    QObject::connect(edit, &QPlainTextEdit::cursorPositionChanged, edit, [edit, accepted] {
        if (edit->document()->characterCount() - 1 == accepted->text.size()) {
            accepted->caret = edit->textCursor().position();
        }
    });
}

QPlainTextEdit* TwoLineBox(QWidget* parent) {
    auto* box = new QPlainTextEdit(parent);
    box->setTabChangesFocus(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    const int frame = 2 * box->frameWidth() + 2 * int(box->document()->documentMargin());
    box->setFixedHeight(2 * box->fontMetrics().lineSpacing() + frame + 2);
    return box;
}

QComboBox* GenreList(const QString& name, QWidget* parent) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(GenreNames());
    list->setCurrentIndex(12);
    list->setMaxVisibleItems(16);
    list->setFixedWidth(180);
    return list;
}
