// The log window's view.
#include "ui/cmdclist.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace kestrow {

namespace {

// Every line is as wide as the widest one (or the view), so its colour fills the row and the
// horizontal range covers the longest text.
class LogDelegate : public QStyledItemDelegate {
public:
    LogDelegate(LogListModel& model, QListView& view)
        : QStyledItemDelegate(&view), m_model(model), m_view(view) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const int extent = m_model.maxExtent();
        size.setWidth(std::max(m_view.viewport()->width(),
                               extent + extent / 32 + option.fontMetrics.averageCharWidth() * 2));
        return size;
    }

private:
    LogListModel& m_model;
    QListView& m_view;
};

}  // namespace

CMdcList::CMdcList(LogListModel& model, QWidget* parent) : QListView(parent), m_model(model) {
    setModel(&m_model);
    setItemDelegate(new LogDelegate(m_model, *this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_model.SetFont(font());
    connect(&m_model, &LogListModel::ExtentGrown, this, [this](int) { scheduleDelayedItemsLayout(); });
}

void CMdcList::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    scheduleDelayedItemsLayout();
}

void CMdcList::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) m_model.SetFont(font());
    QListView::changeEvent(event);
}

void CMdcList::FollowEnd() {
    scrollToBottom();
}

void CMdcList::Copy() {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.push_back(index.row());
    const QString text = m_model.CopyText(std::move(rows));
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void CMdcList::contextMenuEvent(QContextMenuEvent* event) {
    if (m_model.rowCount() == 0) return;
    QMenu menu(this);
    menu.addAction(tr("&Select All"), this, [this] { selectAll(); });
    menu.addAction(tr("&Copy"), this, [this] { Copy(); });
    menu.addAction(tr("C&lear"), this, [this] { Clear(); });
    menu.exec(event->globalPos());
}

void CMdcList::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    QListView::keyPressEvent(event);
}

}  // namespace kestrow
