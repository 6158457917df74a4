#pragma once

#include <QDialog>
#include <QString>

#include "batch/tickedfiles.h"

class Prompter;

// The renaming dialog: pattern, preview, run and report.
class frmFileName : public QDialog {
    Q_OBJECT
public:
    frmFileName(const TickedFiles& files, bool& FillListFlag, Prompter& prompter, QWidget* parent = nullptr);
};
