#pragma once

#include <QLinearGradient>
#include <QPointF>

// The space saver's accent: success green into info blue, from `start` to
// `end` in the shape's own coordinates (0 to 1 across it).
QLinearGradient successToInfo(QPointF start, QPointF end);
