#pragma once

#include "core/SystemColor.h"
#include "ui/RoundedBackground.h"

#include <QColor>

#include <optional>

// The colour a collection's views are tinted with: its own colour, or the
// fallback the view names when it has none.
QColor tintOf(const std::optional<SystemColor>& color, const QColor& fallback);

// The colours of a collection card and a collection row: a collection
// without a colour is drawn in neutral gray and white.
struct CollectionTint
{
    QColor fillStart;        // tile fill, top-leading
    QColor fillEnd;          // tile fill, bottom-trailing
    QColor cardOutlineStart; // card outline, top-leading
    QColor cardOutlineEnd;   // card outline, bottom-trailing
    QColor rowOutline;
    QColor symbol;
    QColor glow; // the card symbol's glow

    static CollectionTint of(const std::optional<SystemColor>& color);
};
