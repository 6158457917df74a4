#include "dialogs/frmid3v1tag.h"

#include "app/prompter.h"

frmID3v1Tag::frmID3v1Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter, QWidget* parent) : QDialog(parent) {
    Q_UNUSED(files);
    Q_UNUSED(FillListFlag);
    Q_UNUSED(prompter);
}
