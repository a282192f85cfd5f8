#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

// Screens of the kinds people keep screenshots of, drawn the way their
// applications show them: a terminal, an editor, a chat, mail, a receipt,
// an invoice, a calendar, a map, a spreadsheet, a document, a web page, an
// error dialog, settings, a sign-in form and a travel booking. Each is drawn
// from a description of its content, so a benchmark knows what is on it.
namespace ScreenTypes {

// The kinds, in a fixed order; each is also the label a screen of that kind
// should get.
const QStringList& kinds();

// What one screen shows. `lines` are the kind's body; cells of a row (a
// receipt's item and price, a spreadsheet's columns, a setting and its
// value, a chat's sender and message) are separated by a tab.
struct Screen
{
    QString kind;
    QString title;    // the window's or page's heading
    QString subtitle; // an address, a sender, a location: the kind's second line
    QStringList lines;
};

struct Drawing
{
    QImage image;
    QStringList lines; // every text drawn, in drawing order
};

// Draws `screen` at `size` (logical pixels at 1440 wide scale the layout);
// `variant` picks the light or dark look and small layout choices.
Drawing draw(const Screen& screen, QSize size, quint32 variant);

} // namespace ScreenTypes
