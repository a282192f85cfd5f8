#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

// Shadows and glows: a shape's silhouette in one colour seen through a
// Gaussian blur whose reach is `radius` (the blur's sigma is half of it).
// Blurring while painting is too slow for grids of cards, so every
// silhouette is rendered once per size, colour and pixel ratio and kept in the
// pixmap cache.
namespace SoftShadow {

// How far beyond its shape a shadow of `radius` reaches (three sigmas).
qreal reach(qreal radius);

// The shadow of a rounded rectangle drawn at `rect` moved by `offset`.
void paintRoundedRect(QPainter& painter, const QRectF& rect, qreal cornerRadius, const QColor& color, qreal radius,
                      const QPointF& offset = {});

// The shadow of the ellipse inscribed in `rect`, moved by `offset`.
void paintEllipse(QPainter& painter, const QRectF& rect, const QColor& color, qreal radius, const QPointF& offset = {});

// The glow of a picture drawn at `target`: its alpha, coloured and blurred.
// `key` names the picture for the cache (the same key, the same picture).
void paintPixmap(QPainter& painter, const QRectF& target, const QPixmap& picture, const QString& key,
                 const QColor& color, qreal radius);

} // namespace SoftShadow
