#pragma once

#include <QString>

class QBoxLayout;

// The two parts of a titled button's label, appended to the caller's stack
// in this order: the symbol, then the title looked up as a translation key.
// Neither carries a font, colour or spacing of its own, so the font and
// palette of the widget holding the stack style both.
void labelContent(QBoxLayout& stack, const QString& symbolName, const QString& title);
