#pragma once

#include "ui/ColorFromHex.h"

#include <QBrush>
#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

#include <optional>

class QPainter;
class QWidget;

// A rounded rectangle with continuous (curvature-smoothed) corners, filled and
// optionally stroked along its outline: the background of cards, panels and
// plain buttons. Gradients in object-bounding mode stretch over the shape.
struct RoundedBackground
{
    struct Shadow
    {
        QColor color;
        qreal radius = 0;
        QPointF offset;
    };

    // The rounded rectangle, or the ellipse inscribed in the rectangle (a
    // circle on a square: round buttons).
    enum class Shape { roundedRectangle, ellipse };

    qreal cornerRadius = 0;
    QBrush fill = Qt::NoBrush;
    QColor stroke = Qt::transparent;
    qreal strokeWidth = 1;
    // Cast around the widget that carries the background (applyShadow).
    std::optional<Shadow> shadow;
    Shape shape = Shape::roundedRectangle;

    // Fill glassFill, stroke glassBorder: the glass card's surface.
    static RoundedBackground glass(qreal cornerRadius);
    // Fill surface, stroke glassBorder: the panels of full-window overlays.
    static RoundedBackground overlayPanel();
    // `color` at two opacities: a tinted fill inside a stronger outline.
    static RoundedBackground tinted(qreal cornerRadius, const QColor& color, qreal fillOpacity, qreal strokeOpacity);
    // A circle (an ellipse on a non-square rectangle), optionally outlined.
    static RoundedBackground circle(const QBrush& fill, const QColor& stroke = Qt::transparent);

    void paint(QPainter& painter, const QRectF& rect) const;
    // The background's shape over `rect`: where it fills, and what a press
    // darkens or a focus ring follows.
    QPainterPath outline(const QRectF& rect) const;
    // Gives `widget` this background's shadow, drawn beyond its bounds
    // (ShadowUnderlay), or takes away a shadow it had.
    void applyShadow(QWidget& widget) const;

    // Corners whose curvature eases in along the edges instead of jumping
    // from straight to circular; each corner reaches 1.28 × radius into its
    // edges and passes where a circular corner would at its middle.
    static QPainterPath path(const QRectF& rect, qreal cornerRadius);
};
