#include "dialogs/frmsetup.h"

#include "app/prompter.h"

frmSetup::frmSetup(Prompter& prompter, QWidget* parent) : QDialog(parent) {
    Q_UNUSED(prompter);
}
