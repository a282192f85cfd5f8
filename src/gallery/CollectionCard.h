#pragma once

#include "core/SmartCollection.h"

#include <QFont>
#include <QRectF>

class QPainter;

// One tile of the collections grid: the collection's symbol, glowing in its
// colour on a tinted tile, above its name on one line. Under the pointer the
// whole card grows slightly.
struct CollectionCard
{
    static constexpr int tileHeight = 120;
    static constexpr int nameGap = 12;
    static constexpr int cornerRadius = 16;
    static constexpr int symbolSize = 32;
    static constexpr qreal hoveredScale = 1.03;
    // How far the shadow of a card at rest reaches beyond its rectangle.
    static constexpr int restingOverflow = 16;

    static const QFont& nameFont();
    // Tile, gap and the name's line.
    static int height();
    // `hover` 0 at rest, 1 under the pointer.
    static qreal scale(qreal hover) { return 1.0 + (hoveredScale - 1.0) * hover; }
    static void paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, qreal hover);
};
