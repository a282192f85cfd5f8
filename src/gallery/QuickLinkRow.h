#pragma once

#include "core/SmartCollection.h"

#include <QFont>
#include <QRectF>

class QPainter;

// A row of the quick-links list, with the divider that follows it: a globe in
// a tinted circle, the domain, its count and a chevron. Under the pointer the
// row gets a faint background at once.
struct QuickLinkRow
{
    static constexpr int circleSize = 36;
    static constexpr int symbolSize = 16;
    static constexpr int spacing = 16;
    static constexpr int horizontalMargin = 16;
    static constexpr int verticalMargin = 12;
    static constexpr int chevronSize = 12;
    static constexpr int cornerRadius = 8;
    static constexpr int dividerInset = 60;

    static const QFont& nameFont();
    // The row and its one-line divider.
    static int height();
    static void paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, bool hovered);
    // Where the domain is written in a row at `rect`, and whether it has to
    // be cut short there.
    static QRectF nameRect(const QRectF& rect, const SmartCollection& collection);
    static bool isNameCut(const QRectF& rect, const SmartCollection& collection);
};
