#include "ui/CommentListView.h"

#include "platform/qt/Cp932.h"
#include "ui/ColorValue.h"

#include <QAccessible>
#include <QPainter>
#include <QStyledItemDelegate>

#include <iterator>

namespace ui {

namespace {

// The current row gets a frame that keyboard users can find: the style's own focus mark is a
// faint tint (about 1.1:1 on white) and shows only after a key press.
class CurrentRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // No width of its own: every row is as wide as the view, so a long line is cut at the view's
    // edge as a list box cuts it, and never widens the list into a horizontal scroll bar.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {0, QStyledItemDelegate::sizeHint(option, index).height()};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem plain = option;
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        if (!(option.state & QStyle::State_HasFocus))
            return;
        const QPalette::ColorGroup group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette& pal = option.palette;
        const QColor frame = focusFrameColor(pal.color(group, selected ? QPalette::Highlight : QPalette::Base),
                                             pal.color(group, selected ? QPalette::HighlightedText : QPalette::Text),
                                             pal.color(group, QPalette::Highlight));
        constexpr int kWidth = 2;
        const QRect r = option.rect;
        painter->fillRect(QRect(r.left(), r.top(), r.width(), kWidth), frame);
        painter->fillRect(QRect(r.left(), r.bottom() - kWidth + 1, r.width(), kWidth), frame);
        painter->fillRect(QRect(r.left(), r.top(), kWidth, r.height()), frame);
        painter->fillRect(QRect(r.right() - kWidth + 1, r.top(), kWidth, r.height()), frame);
    }
};

}  // namespace

int CommentListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(texts_.size());
}

QVariant CommentListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return text(index.row());
}

Qt::ItemFlags CommentListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

bool CommentListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    texts_.erase(texts_.begin() + row, texts_.begin() + row + count);
    endRemoveRows();
    return true;
}

void CommentListModel::insertLines(int row, std::vector<std::string> texts)
{
    if (texts.empty() || row < 0 || row > rowCount())
        return;
    beginInsertRows(QModelIndex(), row, row + static_cast<int>(texts.size()) - 1);
    texts_.insert(texts_.begin() + row, std::make_move_iterator(texts.begin()), std::make_move_iterator(texts.end()));
    endInsertRows();
}

void CommentListModel::replaceLine(int row, std::string text)
{
    if (row < 0 || row >= rowCount())
        return;
    texts_[static_cast<size_t>(row)] = std::move(text);
    emit dataChanged(index(row, 0), index(row, 0));
}

void CommentListModel::clear()
{
    beginResetModel();
    texts_.clear();
    endResetModel();
}

QString CommentListModel::text(int row) const { return platform::fromCp932(bytes(row)); }

CommentListView::CommentListView(QWidget* parent) : QListView(parent), model_(new CommentListModel(this))
{
    setModel(model_);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Every line has the list font's height: only the first is measured, however long the list.
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new CurrentRowDelegate(this));
    // Cut, not shortened with an ellipsis; the whole line stays the row's text for screen readers.
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int CommentListView::currentRow() const { return currentIndex().row(); }

bool CommentListView::isRowSelected(int row) const { return selectionModel()->isSelected(model_->index(row, 0)); }

void CommentListView::setRowSelected(int row, bool selected)
{
    selectionModel()->select(model_->index(row, 0),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

void CommentListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    // Qt 6.4's list view reports its new current row as the focus even without the keyboard: a
    // screen reader would follow the caret moved by a command away from where the user is.
    if (hasFocus())
        QListView::currentChanged(current, previous);
    else
        QAbstractItemView::currentChanged(current, previous);  // NOLINT(bugprone-parent-virtual-call)
    emit currentRowChanged(current.row());
}

void CommentListView::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    // The view's own focus event, sent after this one returns, names only the list ("List with N
    // items"); the current line, what the user comes back to, follows it.
    QMetaObject::invokeMethod(this, &CommentListView::announceCurrentRow, Qt::QueuedConnection);
}

void CommentListView::announceCurrentRow()
{
    if (!QAccessible::isActive() || !currentIndex().isValid() || !hasFocus())
        return;
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(currentIndex().row());
    QAccessible::updateAccessibility(&focus);
}

}  // namespace ui
