#pragma once

#include <QDialog>
#include <QString>

#include "batch/tickedfiles.h"

class Prompter;

// The ID3v2 batch editor.
class frmID3v2Tag : public QDialog {
    Q_OBJECT
public:
    frmID3v2Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter, QWidget* parent = nullptr);
};
