#pragma once

#include "core/Screenshot.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

// One cell of the tray popup's grid, painted: the thumbnail (or a faint
// placeholder, which says so for a file that gives no picture) in a rounded
// frame; while the pointer is over it, a dimming
// with round buttons; while it is the copied one, a darker dimming with a
// green check mark; otherwise its time of day at the bottom.
namespace MiniScreenshotItem {

enum class Action { preview, copyImage, copyText };

struct Button
{
    Action action;
    QString symbol;
    QString tooltip;
    QRectF rect;
};

struct State
{
    // 0 at rest, 1 under the pointer; in between while the hover eases in or out.
    qreal hover = 0;
    bool copied = false;
    bool unreadable = false; // no picture can be made of the file
};

constexpr qreal cellHeight = 120;
constexpr qreal cornerRadius = 8;
constexpr qreal buttonDiameter = 30; // a 14 symbol with 8 around it
constexpr qreal buttonSpacing = 12;

// "Quick Preview" and "Copy Image" always; "Copy Text" while the text is
// present (an empty text counts), centred in `cell`.
QList<Button> buttons(const Screenshot& screenshot, const QRectF& cell);
// The time of day in the locale's short form: never the date.
QString timeLabel(const Screenshot& screenshot);

void paint(QPainter& painter, const QRectF& cell, const Screenshot& screenshot, const std::optional<QImage>& thumbnail,
           State state);

} // namespace MiniScreenshotItem
