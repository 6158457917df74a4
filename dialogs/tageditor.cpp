#include "dialogs/tageditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

#include "dialogs/frmfromname.h"
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

TagEditorDialog::~TagEditorDialog() {
    // Closed before the reading ended: it stops after the file in hand.
    if (reader_) {
        *stopReading_ = true;
        reader_->wait();
        delete reader_;
    }
}

QString MixedValuesText() {
    return QStringLiteral("（多个值）");
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
        // A genre list left without a choice by differing values takes the
        // usual "Other" once its row is ticked, so a genre is always written.
        if (auto* list = qobject_cast<QComboBox*>(row.input)) {
            connect(check, &QCheckBox::toggled, list, [list](bool ticked) {
                if (ticked && list->currentIndex() < 0)
                    list->setCurrentIndex(12);
            });
        }

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
    }
    connect(ok, &QPushButton::clicked, this, &TagEditorDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &TagEditorDialog::cancel);

    fromName_ = new QPushButton(QStringLiteral("从文件名提取…"), this);
    fromName_->setObjectName(QStringLiteral("cmdFromName"));
    fromName_->setAutoDefault(false);
    fromName_->setToolTip(QStringLiteral("按格式从每个文件的文件名中取出歌名、艺术家等内容"));
    connect(fromName_, &QPushButton::clicked, this, &TagEditorDialog::openFromName);
    reading_ = new QLabel(this);
    reading_->setObjectName(QStringLiteral("labReading"));
    {
        QPalette palette = reading_->palette();
        palette.setColor(QPalette::WindowText,
                         palette.color(QPalette::Disabled, QPalette::WindowText));
        reading_->setPalette(palette);
    }
    auto* tools = new QHBoxLayout;
    tools->addWidget(reading_, 1);
    tools->addWidget(fromName_);
    // After the rows, before OK: the tab order follows the screen.
    chain(fromName_);
    chain(ok);
    chain(cancel);

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
    layout->addSpacing(4);
    layout->addLayout(tools);
    layout->addSpacing(4);
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

void TagEditorDialog::startReading(SharedReader read) {
    reading_->setText(QStringLiteral("正在读取所选 %1 个文件的标签……").arg(CheckedCount()));
    // The worker gets its own copies: the dialog may go before it ends.
    const TickedFiles files = files_;
    const std::shared_ptr<std::atomic<bool>> stop = stopReading_;
    reader_ = QThread::create([this, files, stop, read = std::move(read)] {
        SharedRead control;
        control.cancelled = [stop] { return stop->load(); };
        std::vector<SharedValue> values = read(files, control);
        if (stop->load())
            return;
        // Delivered on the dialog's thread, and dropped with the dialog.
        QMetaObject::invokeMethod(
            this,
            [this, values = std::move(values)] {
                reading_->clear();
                showShared(values);
                valuesShown_ = true;
                emit sharedValuesShown();
            },
            Qt::QueuedConnection);
    });
    reader_->start();
}

void TagEditorDialog::showShared(const std::vector<SharedValue>& values) {
    for (size_t index = 0; index < values.size() && qsizetype(index) < checks_.size(); ++index) {
        // A row the user has ticked already keeps what they gave it.
        if (!checks_[qsizetype(index)]->isChecked())
            ShowSharedValue(inputs_[qsizetype(index)], values[index]);
    }
}

void ShowSharedValue(QWidget* input, const SharedValue& value) {
    if (auto* line = qobject_cast<QLineEdit*>(input)) {
        line->setText(value.text);
        line->setPlaceholderText(value.mixed ? MixedValuesText() : QString());
        // The narrow year and track boxes grow to show the placeholder whole.
        if (value.mixed && line->maximumWidth() != QWIDGETSIZE_MAX) {
            const int needed = line->fontMetrics().horizontalAdvance(MixedValuesText()) + 16;
            if (line->width() < needed)
                line->setFixedWidth(needed);
        }
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(input)) {
        box->setPlainText(value.text);
        box->setPlaceholderText(value.mixed ? MixedValuesText() : QString());
    } else if (auto* list = qobject_cast<QComboBox*>(input)) {
        const int at = value.mixed ? -1 : list->findText(value.text);
        list->setCurrentIndex(at);
        list->setPlaceholderText(value.mixed ? MixedValuesText() : value.text);
    }
}

void TagEditorDialog::confirm() {
    if (const std::optional<ReportMessage> refused = refusal()) {
        prompter_.tell(refused->text, refused->caption);
        return;
    }
    runAndClose([this](const BatchOptions& options) { return runEdit(files_, options); });
}

void TagEditorDialog::openFromName() {
    frmFromName dialog(files_, tagVersion(), this);
    if (dialog.exec() == QDialog::Accepted)
        applyFromName(dialog.pattern());
}

void TagEditorDialog::applyFromName(const QString& pattern) {
    runAndClose([this, pattern](const BatchOptions& options) {
        return runFromName(files_, pattern, options);
    });
}

void TagEditorDialog::runAndClose(const std::function<EditReport(const BatchOptions&)>& run) {
    // What the files held matters no more once they are being written.
    *stopReading_ = true;
    FillListFlag_ = true;
    const EditReport report = RunTagBatch(this, run);
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
