#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointF>

class QPainter;

// A soft coloured light: a filled circle seen through a Gaussian blur. Blurring
// live is too slow for backdrops that repaint, so each (colour, diameter,
// radius, pixel ratio) is rendered once and kept in the pixmap cache.
class BlurredGlow
{
public:
    BlurredGlow() = delete;

    // The pixmap is larger than the circle by the blur's reach on every side;
    // its centre is the circle's centre.
    static QPixmap pixmap(const QColor& color, qreal diameter, qreal blurRadius, qreal devicePixelRatio = 1.0);
    // Paints the glow of a circle centred on `center`.
    static void paint(QPainter& painter, const QPointF& center, const QColor& color, qreal diameter, qreal blurRadius);
};
