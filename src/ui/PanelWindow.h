#pragma once

#include <QColor>
#include <QPointF>

class QDialog;
class QWidget;

// Alerts and sheets drawn as the theme's panels: the window itself is
// transparent and undecorated; on it lies the overlay panel (surface fill,
// glass border, rounded corners) with a soft shadow under it, and the
// dialog's layout is padded so its content sits inside the panel.
namespace PanelWindow {

// Room around the panel for its shadow.
constexpr int shadowMargin = 32;
constexpr int shadowRadius = 24;
constexpr QPointF shadowOffset{0, 10};
inline QColor shadowColor()
{
    return QColor::fromRgbF(0, 0, 0, 0.5f);
}

// Gives `dialog` the panel look; `padding` is the room between the panel's
// edge and the content. Call it once the dialog's layout exists.
void dress(QDialog& dialog, int padding);

// Whether dress() was applied.
bool isDressed(const QWidget& dialog);

} // namespace PanelWindow
