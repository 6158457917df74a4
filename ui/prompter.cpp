#include "ui/prompter.h"

#include <QMessageBox>

namespace {

// Messages join their lines with line feed + carriage return pairs, which a
// Windows message box shows as one line break each. A Qt label breaks the
// line at either character, so the pair is shown as the one break it means;
// the text handed in keeps its exact characters.
QString ShownMessage(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    return shown;
}

}  // namespace

void Prompter::tellDetailed(const QString& text, const QString& caption, const QString& details) {
    tell(details.isEmpty() ? text : text + QStringLiteral("\n\n") + details, caption);
}

void MessageBoxPrompter::tell(const QString& text, const QString& caption) {
    tellDetailed(text, caption, {});
}

void MessageBoxPrompter::tellDetailed(const QString& text, const QString& caption,
                                      const QString& details) {
    QMessageBox box(QMessageBox::NoIcon, caption, ShownMessage(text), QMessageBox::Ok, parent_);
    // The box offers a button that unfolds the list; folded, the box keeps
    // the size of its text.
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

bool MessageBoxPrompter::ask(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, ShownMessage(text),
                    QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}
