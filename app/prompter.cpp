#include "app/prompter.h"

#include <QMessageBox>

void MessageBoxPrompter::tell(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool MessageBoxPrompter::ask(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent_);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}
