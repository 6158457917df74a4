#include "dialogs/frmid3v2tag.h"

#include "app/prompter.h"

frmID3v2Tag::frmID3v2Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter, QWidget* parent) : QDialog(parent) {
    Q_UNUSED(files);
    Q_UNUSED(FillListFlag);
    Q_UNUSED(prompter);
}
