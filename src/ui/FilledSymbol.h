#pragma once

#include <QByteArray>

#include <optional>

// The solid variants of outline icons (the ".fill" symbols). An icon's root
// element may carry a fill recipe in its data-fill attribute, naming its
// elements by their place in the file (1 = the first):
//   solid=1,2   filled;
//   hole=3      filled and cut out of what lies under it;
//   inset       the whole icon, smaller, cut out of a filled circle.
// Every other element is cut out where it crosses a solid one and drawn
// where it does not, so a check mark reads inside its disc and a stem still
// shows beyond its leaf.
namespace FilledSymbol {

// The two layers of a solid icon, each an SVG file: the cut layer is laid
// over the solid layer as a whole with exclusive-or, so cuts that cross
// each other (the two strokes of an x) still cut once.
struct Layers
{
    QByteArray solid;
    QByteArray cut;
};

// The layers of an icon with a recipe; none for an icon without one, or
// whose structure the recipe cannot address (nested elements).
std::optional<Layers> layersOf(const QByteArray& svg);

} // namespace FilledSymbol
