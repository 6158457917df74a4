#pragma once

#include <QDialog>
#include <QString>

#include "batch/tickedfiles.h"

class Prompter;

// The ID3v1 batch editor.
class frmID3v1Tag : public QDialog {
    Q_OBJECT
public:
    frmID3v1Tag(const TickedFiles& files, bool& FillListFlag, Prompter& prompter, QWidget* parent = nullptr);
};
