#pragma once

#include "core/SmartCollection.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QStringView>

class QPainter;

// Small drawing steps the collection and quick-link tiles share.
namespace TilePainting {

// A rounded rectangle filled and outlined (1 wide, inside its edge), each
// with a gradient from the top-leading to the bottom-trailing corner (equal
// ends: one colour).
struct Surface
{
    qreal cornerRadius = 0;
    QColor fillFrom;
    QColor fillTo;
    QColor outlineFrom = Qt::transparent;
    QColor outlineTo = Qt::transparent;

    static Surface solid(qreal cornerRadius, const QColor& fill, const QColor& outline = Qt::transparent)
    {
        return {cornerRadius, fill, fill, outline, outline};
    }
};
// Large anti-aliased fills are slow to paint (Qt hands them to its thread
// pool), so surfaces and discs are painted once per size and colours and
// kept in the pixmap cache.
void paintSurface(QPainter& painter, const QRectF& rect, const Surface& surface);
// A filled circle of `diameter` centred on `center`.
void paintDisc(QPainter& painter, const QPointF& center, qreal diameter, const QColor& color);
// Scales what follows about the centre of `rect`.
void scaleAbout(QPainter& painter, const QRectF& rect, qreal scale);
// One line of text, cut with an ellipsis when it does not fit.
// Whether drawLine() has to cut `text` short to fit it into `rect`.
bool isCut(const QRectF& rect, const QString& text, const QFont& font);
void drawLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// The height of one line in `font`.
int lineHeight(const QFont& font);
// A symbol in a circle of `diameter` filled with `fill`, centred on `center`.
void symbolInCircle(QPainter& painter, const QPointF& center, qreal diameter, const QColor& fill, const QString& symbol,
                    int symbolSize, const QColor& symbolColor);
// The text of a count shown with its unit: "12 items" (also "1 items").
QString itemsText(qint64 count);
// Everything of a collection that a tile shows, as text, prefixed by the
// kind of tile: the key of its painted picture.
QString restingKey(QStringView kind, const SmartCollection& collection);
// a + (b - a) * t, channel by channel.
QColor mix(const QColor& a, const QColor& b, qreal t);

} // namespace TilePainting
