#pragma once

#include "core/SmartCollection.h"

#include <QFont>
#include <QRectF>

class QPainter;

// A large card of the "Most Frequent" row: a globe at the top, the domain and
// its count at the bottom, on a gradient of the domain's colour. Under the
// pointer it grows slightly and casts a coloured shadow.
struct QuickLinkHeroCard
{
    static constexpr int height = 140;
    static constexpr int cornerRadius = 20;
    static constexpr int margin = 16;
    static constexpr int spacing = 12;
    static constexpr int globeSize = 24;
    static constexpr int globeMargin = 10;
    static constexpr qreal hoveredScale = 1.02;

    static const QFont& nameFont();
    static qreal scale(qreal hover) { return 1.0 + (hoveredScale - 1.0) * hover; }
    static void paint(QPainter& painter, const QRectF& rect, const SmartCollection& collection, qreal hover);
    // Where the domain is written on a card at rest at `rect`, and whether it
    // has to be cut short there.
    static QRectF nameRect(const QRectF& rect, const SmartCollection& collection);
    static bool isNameCut(const QRectF& rect, const SmartCollection& collection);
};
