#pragma once

#include "core/SmartCollection.h"

#include <QFont>
#include <QRectF>

class QPainter;

// A compact card of the "All Links" grid: a link symbol in a tinted circle,
// the domain, and its count as a badge. Under the pointer it brightens and
// grows slightly.
struct QuickLinkChip
{
    static constexpr int circleSize = 28;
    static constexpr int symbolSize = 12;
    static constexpr int spacing = 12;
    static constexpr int horizontalMargin = 12;
    static constexpr int verticalMargin = 10;
    static constexpr int cornerRadius = 12;
    static constexpr qreal hoveredScale = 1.02;

    static const QFont& nameFont();
    static const QFont& badgeFont();
    static int height();
    static qreal scale(qreal hover) { return 1.0 + (hoveredScale - 1.0) * hover; }
    static void paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, qreal hover);
    // Where the domain is written in a chip at rest at `rect`, and whether it
    // has to be cut short there.
    static QRectF nameRect(const QRectF& rect, const SmartCollection& collection);
    static bool isNameCut(const QRectF& rect, const SmartCollection& collection);
};
