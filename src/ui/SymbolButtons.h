#pragma once

#include <QColor>
#include <QString>

class PlainButton;
class QWidget;

// The round symbol buttons that float over the previews (arrows, close,
// file actions): a symbol with padding on every side, on a circle.
PlainButton* makeCircleSymbolButton(const QString& symbolName, int symbolSize, const QColor& symbolColor, int padding,
                                    const QColor& fill, const QColor& stroke = Qt::transparent,
                                    QWidget* parent = nullptr);

// A small bordered button of a toolbar around `content` (a symbol or a text).
PlainButton* makeBorderedButton(QWidget* content, QWidget* parent = nullptr);
