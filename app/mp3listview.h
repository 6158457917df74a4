#pragma once

#include <QTreeView>

class QStyledItemDelegate;

// The view of lvwMp3List: report form, whole-row selection, one row height
// for all rows (so tens of thousands of rows scroll without measuring each).
//
// A click on a row's check box toggles the tick through the model
// (setData); a click anywhere else on the row is reported as rowClicked,
// never both for one click. Space toggles the current row's tick like its
// check box; Return and a double-click ask for the row's details.
class Mp3ListView : public QTreeView {
    Q_OBJECT
  public:
    explicit Mp3ListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // Where the check box of `row` is drawn, in viewport coordinates.
    QRect checkBoxRect(int row) const;

  signals:
    void rowClicked(int row);
    void detailsRequested();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void onClicked(const QModelIndex& index);

    bool inRelease_ = false;
    bool checkBoxToggled_ = false;
};
