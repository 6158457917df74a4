#pragma once

#include <QDialog>
#include <QString>


class Prompter;

// The column setup dialog: chooses the columns saved in clmnhdr.dll.
class frmSetup : public QDialog {
    Q_OBJECT
public:
    frmSetup(Prompter& prompter, QWidget* parent = nullptr);
};
