#pragma once

#include "ui/RoundedBackground.h"

#include <QFont>
#include <QMargins>
#include <QString>

class PlainButton;
class QLabel;

// How a titled button of the duplicate screens looks: its symbol and title
// side by side on a rounded background.
struct TitledButtonStyle
{
    QFont font;
    QColor textColor;
    RoundedBackground background;
    QMargins padding;
    int spacing = 8;
};

// A rounded rectangle filled with `fill`, without an outline.
RoundedBackground filledBackground(qreal cornerRadius, const QBrush& fill);
// A rounded outline of `color`, with nothing inside.
RoundedBackground outlinedBackground(qreal cornerRadius, const QColor& color, qreal lineWidth);

// A plain button labelled with a symbol and a title (the shared label pair).
PlainButton* makeTitledButton(const QString& symbolName, const QString& title, const TitledButtonStyle& style);
// The title text of a button made by makeTitledButton.
QLabel* titleOf(const PlainButton& button);
