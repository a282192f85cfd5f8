#pragma once

#include <QColor>
#include <QString>

#include <functional>

class CenteredOverlay;

// The card of the space saver's result overlays over a dimmed backdrop: a
// glowing symbol, a title, a line in a colour of its own, an optional note,
// and one gradient button.
namespace OverlayParts {
struct ResultCard
{
    QString symbol;
    QColor tint;
    QString title;
    QString line;
    QColor lineColor;
    QString button;
    QString note;
};

void resultCard(CenteredOverlay& stack, const ResultCard& card, std::function<void()> onButton);
} // namespace OverlayParts
