#include "gui/lpviewer/channel_list.h"

#include <QResizeEvent>

#include <algorithm>

namespace lpviewer {

namespace {

// Room between one column's entries and the next.
constexpr int kColumnGap = 16;

} // namespace

ChannelList::ChannelList(QWidget *parent) : QListWidget(parent)
{
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    fitEntries();
}

void ChannelList::fitEntries()
{
    // One column width for all, so that the rows line up.
    QSize cell(0, fontMetrics().height());
    for (int i = 0; i < count(); ++i)
        cell = cell.expandedTo(sizeHintForIndex(indexFromItem(item(i))));
    setGridSize(QSize(cell.width() + kColumnGap, cell.height() + 4));
    fitHeight();
}

void ChannelList::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        fitHeight();
}

void ChannelList::fitHeight()
{
    // The rows the entries take at this width; one row while there are none.
    doItemsLayout();
    const int rows = std::max(contentsSize().height(), gridSize().height());
    setFixedHeight(rows + 2 * frameWidth());
}

} // namespace lpviewer
