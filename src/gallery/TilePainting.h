#pragma once

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRectF>
#include <QString>

class QPainter;

// Small drawing steps the collection and quick-link tiles share.
namespace TilePainting {

// A rounded rectangle with continuous corners.
QPainterPath roundedRect(const QRectF& rect, qreal radius);
// From the top-leading to the bottom-trailing corner of `rect`.
QLinearGradient diagonal(const QRectF& rect, const QColor& from, const QColor& to);
// A 1-wide outline whose stroke lies inside `rect`, crisp on whole pixels.
void strokeRoundedRect(QPainter& painter, const QRectF& rect, qreal radius, const QBrush& brush);
// Scales what follows about the centre of `rect`.
void scaleAbout(QPainter& painter, const QRectF& rect, qreal scale);
// One line of text, cut with an ellipsis when it does not fit.
void drawLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// The height of one line in `font`.
int lineHeight(const QFont& font);
// A symbol in a circle of `diameter` filled with `fill`, centred on `center`.
void symbolInCircle(QPainter& painter, const QPointF& center, qreal diameter, const QColor& fill, const QString& symbol,
                    int symbolSize, const QColor& symbolColor);
// The text of a count shown with its unit: "12 items" (also "1 items").
QString itemsText(qint64 count);
// a + (b - a) * t, channel by channel.
QColor mix(const QColor& a, const QColor& b, qreal t);

} // namespace TilePainting
