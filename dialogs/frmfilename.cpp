#include "dialogs/frmfilename.h"

#include "app/prompter.h"

frmFileName::frmFileName(const TickedFiles& files, bool& FillListFlag, Prompter& prompter, QWidget* parent) : QDialog(parent) {
    Q_UNUSED(files);
    Q_UNUSED(FillListFlag);
    Q_UNUSED(prompter);
}
