#include "dialogs/frmmp3info.h"

#include "app/prompter.h"

frmMp3Info::frmMp3Info(const QString& folder, const QString& fileName, QWidget* parent) : QDialog(parent) {
    Q_UNUSED(folder);
    Q_UNUSED(fileName);
}
