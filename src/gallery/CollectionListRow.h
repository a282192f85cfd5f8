#pragma once

#include "core/SmartCollection.h"

#include <QFont>
#include <QRectF>

class QPainter;

// One row of the collections list: the collection's symbol on a small tinted
// tile, its name (wrapping when long) and a chevron. Under the pointer the
// row gets a faint background at once.
struct CollectionListRow
{
    static constexpr int tileSize = 48;
    static constexpr int cornerRadius = 10;
    static constexpr int spacing = 16;
    static constexpr int verticalMargin = 8;
    static constexpr int horizontalMargin = 12;
    static constexpr int symbolSize = 20;
    static constexpr int chevronSize = 13;

    static const QFont& nameFont();
    // The room the name has in a row `width` wide.
    static int nameWidth(int width);
    // A row `width` wide; taller when the name wraps.
    static int height(const QString& name, int width);
    static void paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, bool hovered);
};
