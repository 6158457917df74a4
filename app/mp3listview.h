#pragma once

#include <QTreeView>

class QStyledItemDelegate;

// The view of lvwMp3List: report form, whole-row selection, one row height
// for all rows (so tens of thousands of rows scroll without measuring each).
//
// Ticks and the selection are two things. A plain click on a row toggles
// its tick (on its check box through the model's setData, elsewhere as
// rowClicked, never both for one click) and selects it; Ctrl and Shift
// clicks only select, as Ctrl+A selects every row. Space ticks every
// selected row, or unticks them all when the current row is ticked
// (spaceToggled). Return and a double-click ask for the current row's
// details (detailsRequested); the double-click first takes back the tick
// its own first click changed, so the row keeps the tick it had.
class Mp3ListView : public QTreeView {
    Q_OBJECT
  public:
    explicit Mp3ListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;

    // Where the check box of `row` is drawn, in viewport coordinates.
    QRect checkBoxRect(int row) const;
    // The selected rows, in list order.
    QList<int> selectedRowNumbers() const;

  signals:
    void rowClicked(int row);
    void spaceToggled();
    void detailsRequested();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void onClicked(const QModelIndex& index);

    bool inRelease_ = false;
    bool checkBoxToggled_ = false;
    Qt::KeyboardModifiers releaseModifiers_;
    // The row whose tick the last plain click changed, by either route; -1
    // when the last click changed none. A double-click on it changes it back.
    int lastToggledRow_ = -1;
};
