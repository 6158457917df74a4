#include "app/mp3listview.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <algorithm>

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

bool Checked(const QModelIndex& box) {
    return box.data(Qt::CheckStateRole).toInt() == Qt::Checked;
}

}  // namespace

Mp3ListView::Mp3ListView(QWidget* parent) : QTreeView(parent) {
    setItemDelegate(new CheckBoxDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setStretchLastSection(false);
    connect(this, &QAbstractItemView::clicked, this, &Mp3ListView::onClicked);
}

void Mp3ListView::setModel(QAbstractItemModel* model) {
    QTreeView::setModel(model);
    if (!model)
        return;
    // The base class sends a click on a check box to the delegate (which
    // toggles the tick) and then still emits clicked(); noting the toggle
    // here keeps that one click from also counting as a row click.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex&, const QList<int>& roles) {
                if (inRelease_ && roles.contains(Qt::CheckStateRole)) {
                    checkBoxToggled_ = true;
                    lastToggledRow_ = first.row();
                }
            });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { lastToggledRow_ = -1; });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] { lastToggledRow_ = -1; });
}

QRect Mp3ListView::checkBoxRect(int row) const {
    const QModelIndex index = model()->index(row, 0);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    return static_cast<CheckBoxDelegate*>(itemDelegate())->checkRect(option, index);
}

QList<int> Mp3ListView::selectedRowNumbers() const {
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void Mp3ListView::mouseReleaseEvent(QMouseEvent* event) {
    inRelease_ = true;
    checkBoxToggled_ = false;
    releaseModifiers_ = event->modifiers();
    lastToggledRow_ = -1;
    QTreeView::mouseReleaseEvent(event);
    inRelease_ = false;
}

void Mp3ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const int toggled = lastToggledRow_;
    const bool byBox = checkBoxToggled_;
    lastToggledRow_ = -1;
    // The base class keeps its click state right: the release that ends a
    // double-click is no click, and the delegate eats a double-click on a
    // check box.
    QTreeView::mouseDoubleClickEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid())
        return;
    // The first click of the pair toggled the row; the pair as a whole
    // asks for details and leaves the tick as it was before.
    if (toggled == index.row() && model()->columnCount() > 0) {
        const QModelIndex box = model()->index(index.row(), 0);
        if (byBox)
            model()->setData(box, int(Checked(box) ? Qt::Unchecked : Qt::Checked),
                             Qt::CheckStateRole);
        else
            emit rowClicked(index.row());
    }
    emit detailsRequested();
}

void Mp3ListView::onClicked(const QModelIndex& index) {
    if (checkBoxToggled_ || !index.isValid())
        return;
    if (releaseModifiers_ & (Qt::ControlModifier | Qt::ShiftModifier))
        return;
    lastToggledRow_ = index.row();
    emit rowClicked(index.row());
}

void Mp3ListView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Select:
            if (current.isValid() && model()->columnCount() > 0 &&
                !(event->modifiers() & Qt::ControlModifier)) {
                emit spaceToggled();
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
