#pragma once

#include <QString>

class QBoxLayout;
class QColor;
class QFont;
class QLabel;
class QWidget;

// The two parts of a titled button's label, appended to the caller's stack
// in this order: the symbol, then the title looked up as a translation key.
// Neither carries a font, colour or spacing of its own, so the font and
// palette of the widget holding the stack style both.
void labelContent(QBoxLayout& stack, const QString& symbolName, const QString& title);

// A plain-text label that, like the parts above, takes its font and colour
// from applyTextStyle() on a widget holding it.
QLabel* inheritingLabel(const QString& text);

// Styles `container` and every part below it made by labelContent() or
// inheritingLabel() (or a StyledSymbol without a brush of its own). The
// application's style sheet keeps fonts from flowing to children by
// themselves, so the style is handed down here.
void applyTextStyle(QWidget& container, const QFont& font, const QColor& color);
