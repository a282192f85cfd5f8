#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSize>

// A linear gradient rendered with ordered dithering. Between colours as
// close as a faint sheen's (white at 0.02 to 0.01), eight-bit channels have
// only a level or two to step through, which shows as wide bands; spreading
// the fraction over a fixed pattern of neighbouring pixels reads as smooth.
namespace DitheredGradient {

// `size` pixels (premultiplied), from `from` at `start` to `to` at `end`.
QImage render(QSize size, QPointF start, QPointF end, const QColor& from, const QColor& to);

} // namespace DitheredGradient
