#include "gallery/HeaderLayout.h"

#include <QWidget>

#include <algorithm>

HeaderLayout::HeaderLayout(QWidget* title, QWidget* search, QWidget* pill, QWidget* toolbar, int toolbarWidest,
                           QWidget* parent)
    : QLayout(parent)
    , m_toolbarWidest(toolbarWidest)
{
    for (QWidget* part : {title, search, pill, toolbar})
        addWidget(part);
}

HeaderLayout::~HeaderLayout()
{
    qDeleteAll(m_items);
}

void HeaderLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

QLayoutItem* HeaderLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem* HeaderLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

int HeaderLayout::count() const
{
    return int(m_items.size());
}

QWidget* HeaderLayout::widget(Part part) const
{
    return m_items.at(part)->widget();
}

int HeaderLayout::oneRowWidth() const
{
    return widget(title)->sizeHint().width() + spacing() + widget(search)->minimumWidth() + spacing() +
           widget(pill)->sizeHint().width() + spacing() + m_toolbarWidest;
}

bool HeaderLayout::isOneRow(int width) const
{
    const QMargins margins = contentsMargins();
    return width - margins.left() - margins.right() >= oneRowWidth();
}

// The tallest of the parts, shown or not.
int HeaderLayout::height(std::initializer_list<Part> parts) const
{
    int tallest = 0;
    for (const Part part : parts)
        tallest = std::max(tallest, widget(part)->sizeHint().height());
    return tallest;
}

int HeaderLayout::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int rows = isOneRow(width) ? height({title, search, pill, toolbar})
                                     : height({title, search}) + spacing() + height({pill, toolbar});
    return margins.top() + rows + margins.bottom();
}

QSize HeaderLayout::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const int width = margins.left() + oneRowWidth() + margins.right();
    return {width, heightForWidth(width)};
}

QSize HeaderLayout::minimumSize() const
{
    const QMargins margins = contentsMargins();
    const int titleAndSearch = widget(title)->minimumSizeHint().width() + spacing() + widget(search)->minimumWidth();
    const int pillAndToolbar = widget(pill)->sizeHint().width() + spacing() + m_toolbarWidest;
    const int width = margins.left() + std::max(titleAndSearch, pillAndToolbar) + margins.right();
    return {width, heightForWidth(width)};
}

// Centred in its row, at its own height.
void HeaderLayout::place(Part part, int left, int width, int top, int rowHeight) const
{
    const int itemHeight = std::min(rowHeight, widget(part)->sizeHint().height());
    m_items.at(part)->setGeometry(QRect(left, top + (rowHeight - itemHeight) / 2, std::max(0, width), itemHeight));
}

void HeaderLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QRect inner = rect.marginsRemoved(contentsMargins());
    const int gap = spacing();
    const int titleWidth = widget(title)->sizeHint().width();
    const auto searchWidth = [&](int room) {
        return std::min(inner.width(),
                        std::clamp(room, widget(search)->minimumWidth(), widget(search)->maximumWidth()));
    };
    // The pill and the toolbar from the right edge; returns where they begin.
    const auto placeTail = [&](int top, int rowHeight) {
        int right = inner.left() + inner.width();
        for (const Part part : {toolbar, pill}) {
            if (m_items.at(part)->isEmpty())
                continue;
            const int width = widget(part)->sizeHint().width();
            right -= width;
            place(part, right, width, top, rowHeight);
            right -= gap;
        }
        return right + gap;
    };

    if (isOneRow(rect.width())) {
        const int rowHeight = height({title, search, pill, toolbar});
        const int tailLeft = placeTail(inner.top(), rowHeight);
        const int searchRight = tailLeft - gap;
        const int width = searchWidth(searchRight - inner.left() - titleWidth - gap);
        place(search, searchRight - width, width, inner.top(), rowHeight);
        place(title, inner.left(), std::min(titleWidth, searchRight - width - gap - inner.left()), inner.top(),
              rowHeight);
        return;
    }
    const int firstRow = height({title, search});
    const int width = searchWidth(inner.width() - titleWidth - gap);
    const int searchLeft = inner.left() + inner.width() - width;
    place(search, searchLeft, width, inner.top(), firstRow);
    place(title, inner.left(), std::min(titleWidth, searchLeft - gap - inner.left()), inner.top(), firstRow);
    placeTail(inner.top() + firstRow + gap, height({pill, toolbar}));
}
