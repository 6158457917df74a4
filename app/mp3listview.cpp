#include "app/mp3listview.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Exposes where the standard delegate draws (and hit-tests) a check box.
class CheckBoxDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QRect checkRect(QStyleOptionViewItem option, const QModelIndex& index) const {
        initStyleOption(&option, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        return style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, widget);
    }
};

}  // namespace

Mp3ListView::Mp3ListView(QWidget* parent) : QTreeView(parent) {
    setItemDelegate(new CheckBoxDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setStretchLastSection(false);
    connect(this, &QAbstractItemView::clicked, this, &Mp3ListView::onClicked);
    connect(this, &QAbstractItemView::doubleClicked, this, &Mp3ListView::detailsRequested);
}

void Mp3ListView::setModel(QAbstractItemModel* model) {
    QTreeView::setModel(model);
    if (!model)
        return;
    // The base class sends a click on a check box to the delegate (which
    // toggles the tick) and then still emits clicked(); noting the toggle
    // here keeps that one click from also counting as a row click.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (inRelease_ && roles.contains(Qt::CheckStateRole))
                    checkBoxToggled_ = true;
            });
}

QRect Mp3ListView::checkBoxRect(int row) const {
    const QModelIndex index = model()->index(row, 0);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    return static_cast<CheckBoxDelegate*>(itemDelegate())->checkRect(option, index);
}

void Mp3ListView::mouseReleaseEvent(QMouseEvent* event) {
    inRelease_ = true;
    checkBoxToggled_ = false;
    QTreeView::mouseReleaseEvent(event);
    inRelease_ = false;
}

void Mp3ListView::onClicked(const QModelIndex& index) {
    if (checkBoxToggled_ || !index.isValid())
        return;
    emit rowClicked(index.row());
}

void Mp3ListView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Select:
            if (current.isValid() && model()->columnCount() > 0) {
                const QModelIndex box = model()->index(current.row(), 0);
                const bool checked = box.data(Qt::CheckStateRole).toInt() == Qt::Checked;
                model()->setData(box, int(checked ? Qt::Unchecked : Qt::Checked),
                                 Qt::CheckStateRole);
                event->accept();
                return;
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (current.isValid()) {
                emit detailsRequested();
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    QTreeView::keyPressEvent(event);
}
