#pragma once

#include "ui/RoundedBackground.h"

#include <QColor>
#include <QString>

class PlainButton;
class QLabel;
class QWidget;
class StyledSymbol;

// The wide buttons of the tool screens' action rows: padded 16, stretched
// across the room they get, their label centred with a spacing of 12 in the
// button font.
PlainButton* wideToolButton(const RoundedBackground& background, const QColor& textColor);
// The same holding a symbol and a title (labelContent).
PlainButton* titledToolButton(const QString& symbol, const QString& title, const RoundedBackground& background,
                              const QColor& textColor);

// The label of a button that starts an analysis: a small indeterminate
// spinner shown while busy in place of the symbol, and a title that changes.
struct BusyButtonLabel
{
    QWidget* spinner = nullptr;
    StyledSymbol* symbol = nullptr;
    QLabel* title = nullptr;

    void show(bool busy, const QString& idleTitle, const QString& busyTitle) const;
};
BusyButtonLabel addBusyButtonLabel(PlainButton& button, const QString& symbol, const QColor& textColor);
