#pragma once

#include <QDialog>
#include <QString>



// The details of one file on three tab pages.
class frmMp3Info : public QDialog {
    Q_OBJECT
public:
    frmMp3Info(const QString& folder, const QString& fileName, QWidget* parent = nullptr);
};
