#pragma once

#include "generators/ScreenTypes.h"

#include <QStringList>

// Terminals and configuration files that write addresses of many schemes
// (tcp://, rtmp://, smtps://, redis://, help:/...) beside web addresses, in
// brackets and quotes, followed by " &" or by a path: what a reading must
// keep as the screen shows it, and the only links a reader would click.
namespace AddressScreens {

struct Screen
{
    ScreenTypes::Drawing drawing;
    // Each address as written, with the signs around it that must stay
    // apart from it or beside it.
    QStringList written;
    // The web addresses shown, in order.
    QStringList links;
};

// The screen of `index`: a terminal for even indexes, a configuration file
// in an editor for odd ones, at one of a few screen sizes.
Screen draw(int index);

} // namespace AddressScreens
