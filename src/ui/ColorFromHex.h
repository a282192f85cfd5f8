#pragma once

#include <QColor>
#include <QString>

// "#6366F1", "abc", "80FF0000" (alpha first) -> an sRGB colour. Never fails:
// anything unusable yields opaque black, so a bad value in a stored setting
// shows up as a visibly wrong colour instead of a crash.
//   - characters that are neither letters, marks nor digits are trimmed from
//     both ends (not from the middle);
//   - hex digits are read after an optional 0x up to the first other
//     character; none read means 0;
//   - the trimmed length in characters (not digits) picks the layout: 8 is
//     AARRGGBB, 6 is RRGGBB, 3 is RGB with each digit doubled, anything else
//     is black.
QColor colorFromHex(const QString& text);

// `color` with alpha `alpha`, the one place colours get their alpha: an
// animation that overshoots (a spring above 1, a fade below 0) or a NaN gives
// a valid colour instead of a runtime warning.
QColor withAlpha(QColor color, double alpha);
// `color` faded to `opacity` of its own alpha.
QColor withOpacity(QColor color, double opacity);
inline QColor whiteAt(double opacity)
{
    return withAlpha(Qt::white, opacity);
}
