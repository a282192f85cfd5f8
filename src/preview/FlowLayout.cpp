#include "preview/FlowLayout.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

FlowLayout::FlowLayout(QWidget* parent, int spacing)
    : QLayout(parent)
    , m_spacing(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

std::vector<FlowLayout::Row> FlowLayout::computeRows(qreal availableWidth, const QList<QSizeF>& itemSizes,
                                                     qreal spacing)
{
    std::vector<Row> rows;
    Row current;
    qreal x = 0;
    qreal y = 0;
    qreal rowHeight = 0;
    for (int index = 0; index < itemSizes.size(); ++index) {
        const QSizeF size = itemSizes[index];
        if (!current.elements.empty() && x + size.width() > availableWidth) {
            current.maxY = QSizeF(availableWidth, y + rowHeight);
            rows.push_back(std::move(current));
            current = Row();
            y += rowHeight + spacing;
            x = 0;
            rowHeight = 0;
        }
        current.elements.push_back(Element{index, x, y});
        x += size.width() + spacing;
        rowHeight = std::max(rowHeight, size.height());
    }
    if (!current.elements.empty()) {
        current.maxY = QSizeF(availableWidth, y + rowHeight);
        rows.push_back(std::move(current));
    }
    return rows;
}

QSizeF FlowLayout::sizeThatFits(qreal availableWidth, const QList<QSizeF>& itemSizes, qreal spacing)
{
    const std::vector<Row> rows = computeRows(availableWidth, itemSizes, spacing);
    return rows.empty() ? QSizeF(0, 0) : rows.back().maxY;
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
    invalidate();
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

void FlowLayout::setSpacing(int spacing)
{
    m_spacing = spacing;
    invalidate();
}

FlowLayout::Shown FlowLayout::shownItems() const
{
    Shown shown;
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        shown.items.append(item);
        shown.sizes.append(QSizeF(item->sizeHint()));
    }
    return shown;
}

int FlowLayout::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const QSizeF size = sizeThatFits(width - margins.left() - margins.right(), shownItems().sizes, m_spacing);
    return int(std::ceil(size.height())) + margins.top() + margins.bottom();
}

QSize FlowLayout::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const QList<QSizeF> sizes = shownItems().sizes;
    qreal width = 0;
    qreal height = 0;
    for (const QSizeF& size : sizes) {
        width += size.width();
        height = std::max(height, size.height());
    }
    if (!sizes.isEmpty())
        width += m_spacing * (sizes.size() - 1);
    return QSize(int(std::ceil(width)) + margins.left() + margins.right(),
                 int(std::ceil(height)) + margins.top() + margins.bottom());
}

QSize FlowLayout::minimumSize() const
{
    const QMargins margins = contentsMargins();
    return QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QRect area = rect.marginsRemoved(contentsMargins());
    const Shown shown = shownItems();
    for (const Row& row : computeRows(area.width(), shown.sizes, m_spacing)) {
        for (const Element& element : row.elements) {
            QLayoutItem* item = shown.items[element.index];
            const QPoint origin(area.left() + int(element.x), area.top() + int(element.y));
            item->setGeometry(QRect(origin, item->sizeHint()));
        }
    }
}
