#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QApplication;

// Fusion with the theme's dark palette, Inter as the application font and a
// style sheet for the pieces a palette cannot reach (tooltips, menus, scroll
// bars): the one look of every window.
void applyDarkStyle(QApplication& app);

QPalette darkPalette();
QString applicationStyleSheet();
// A colour as a style sheet's rgba(...), alpha included.
QString cssColor(const QColor& color);
