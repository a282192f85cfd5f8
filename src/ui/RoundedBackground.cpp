#include "ui/RoundedBackground.h"

#include "ui/ColorFromHex.h"
#include "ui/PremiumTheme.h"
#include "ui/ShadowUnderlay.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace {
constexpr qreal cornerReach = 1.28;
// Puts the curve's midpoint at the circular corner's midpoint, 0.293 r from
// the corner: a/8 + 3b/8 = 1 - 1/sqrt(2).
constexpr qreal controlReach = 0.354;
} // namespace

RoundedBackground RoundedBackground::glass(qreal cornerRadius)
{
    return {cornerRadius, PremiumTheme::glassFill(), PremiumTheme::glassBorder(), 1, std::nullopt};
}

RoundedBackground RoundedBackground::overlayPanel()
{
    return {24, PremiumTheme::surface(), PremiumTheme::glassBorder(), 1, std::nullopt};
}

RoundedBackground RoundedBackground::tinted(qreal cornerRadius, const QColor& color, qreal fillOpacity,
                                            qreal strokeOpacity)
{
    return {cornerRadius, withOpacity(color, fillOpacity), withOpacity(color, strokeOpacity), 1, std::nullopt};
}

RoundedBackground RoundedBackground::circle(const QBrush& fill, const QColor& stroke)
{
    RoundedBackground background{0, fill, stroke, 1, std::nullopt};
    background.shape = Shape::ellipse;
    return background;
}

QPainterPath RoundedBackground::outline(const QRectF& rect) const
{
    if (shape == Shape::roundedRectangle)
        return path(rect, cornerRadius);
    QPainterPath ellipse;
    ellipse.addEllipse(rect);
    return ellipse;
}

void RoundedBackground::paint(QPainter& painter, const QRectF& rect) const
{
    const bool stroked = stroke.alpha() > 0 && strokeWidth > 0;
    // The outline is drawn inside the rectangle, like a stroked border.
    const qreal inset = stroked ? strokeWidth / 2 : 0;
    const QRectF area = rect.adjusted(inset, inset, -inset, -inset);
    RoundedBackground inner = *this;
    inner.cornerRadius = std::max<qreal>(0, cornerRadius - inset);
    const QPainterPath outline = inner.outline(area);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (fill.style() != Qt::NoBrush)
        painter.fillPath(outline, fill);
    if (stroked)
        painter.strokePath(outline, QPen(stroke, strokeWidth));
    painter.restore();
}

void RoundedBackground::applyShadow(QWidget& widget) const
{
    ShadowUnderlay::cast(widget, *this);
}

QPainterPath RoundedBackground::path(const QRectF& rect, qreal cornerRadius)
{
    QPainterPath result;
    if (rect.isEmpty())
        return result;
    const qreal halfSide = std::min(rect.width(), rect.height()) / 2;
    const qreal reach = std::min(cornerRadius * cornerReach, halfSide);
    if (reach <= 0) {
        result.addRect(rect);
        return result;
    }
    const qreal control = reach * controlReach / cornerReach;
    const qreal l = rect.left(), t = rect.top(), r = rect.right(), b = rect.bottom();
    result.moveTo(l + reach, t);
    result.lineTo(r - reach, t);
    result.cubicTo(r - control, t, r, t + control, r, t + reach);
    result.lineTo(r, b - reach);
    result.cubicTo(r, b - control, r - control, b, r - reach, b);
    result.lineTo(l + reach, b);
    result.cubicTo(l + control, b, l, b - control, l, b - reach);
    result.lineTo(l, t + reach);
    result.cubicTo(l, t + control, l + control, t, l + reach, t);
    result.closeSubpath();
    return result;
}
