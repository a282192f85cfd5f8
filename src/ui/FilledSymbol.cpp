#include "ui/FilledSymbol.h"

#include <QList>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace FilledSymbol {

namespace {
const QString recipeAttribute = u"data-fill"_s;
// Lucide draws on a 24 × 24 grid; its circles have radius 10.
const QString insetTransform = u"translate(12 12) scale(0.6) translate(-12 -12)"_s;
// Thicker lines inside the inset, so they keep their weight once scaled.
const QString insetStrokeWidth = u"3.2"_s;

struct Recipe
{
    QSet<int> solid;
    QSet<int> holes;
    bool inset = false;
};

struct Element
{
    QString name;
    QXmlStreamAttributes attributes;
};

struct Icon
{
    QXmlStreamAttributes root;
    QList<Element> elements;
};

QSet<int> indicesOf(QStringView list)
{
    QSet<int> indices;
    for (const QStringView number : list.split(u','))
        if (const int index = number.toInt(); index > 0)
            indices.insert(index);
    return indices;
}

Recipe recipeOf(QStringView text)
{
    Recipe recipe;
    for (const QStringView token : text.split(u' ', Qt::SkipEmptyParts)) {
        if (token == u"inset")
            recipe.inset = true;
        else if (token.startsWith(u"solid="))
            recipe.solid = indicesOf(token.mid(6));
        else if (token.startsWith(u"hole="))
            recipe.holes = indicesOf(token.mid(5));
    }
    return recipe;
}

// The root's attributes and its child elements; none when a child has
// children of its own or the file does not read.
std::optional<Icon> iconOf(const QByteArray& svg)
{
    QXmlStreamReader reader(svg);
    // The namespace declaration is copied like any other attribute.
    reader.setNamespaceProcessing(false);
    Icon icon;
    int depth = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            ++depth;
            if (depth == 1)
                icon.root = reader.attributes();
            else if (depth == 2)
                icon.elements.append({reader.name().toString(), reader.attributes()});
            else
                return std::nullopt;
        } else if (reader.isEndElement()) {
            --depth;
        }
    }
    if (reader.hasError())
        return std::nullopt;
    return icon;
}

using Look = QList<std::pair<QString, QString>>;

// `attributes` with `look` written over them.
QXmlStreamAttributes changed(const QXmlStreamAttributes& attributes, const Look& look)
{
    QXmlStreamAttributes result;
    for (const QXmlStreamAttribute& attribute : attributes) {
        const QString name = attribute.qualifiedName().toString();
        if (std::none_of(look.cbegin(), look.cend(), [&name](const auto& change) { return change.first == name; }))
            result.append(attribute);
    }
    for (const auto& [name, value] : look)
        result.append(name, value);
    return result;
}

void writeElement(QXmlStreamWriter& writer, const QString& name, const QXmlStreamAttributes& attributes)
{
    writer.writeEmptyElement(name);
    writer.writeAttributes(attributes);
}

const Look filledLook{{u"fill"_s, u"currentColor"_s}};

void writeRoot(QXmlStreamWriter& writer, const Icon& icon)
{
    writer.writeStartElement(u"svg"_s);
    for (const QXmlStreamAttribute& attribute : icon.root)
        if (attribute.qualifiedName() != recipeAttribute)
            writer.writeAttribute(attribute);
}

// The cut layer of a plain recipe: holes filled, every other element that
// is not solid as drawn.
QByteArray cutLayer(const Icon& icon, const Recipe& recipe)
{
    QByteArray result;
    QXmlStreamWriter writer(&result);
    writeRoot(writer, icon);
    for (qsizetype i = 0; i < icon.elements.size(); ++i) {
        const int place = int(i) + 1;
        if (recipe.solid.contains(place))
            continue;
        const Element& element = icon.elements[i];
        writeElement(writer, element.name,
                     recipe.holes.contains(place) ? changed(element.attributes, filledLook) : element.attributes);
    }
    writer.writeEndElement();
    return result;
}

QByteArray solidLayer(const Icon& icon, const Recipe& recipe)
{
    QByteArray result;
    QXmlStreamWriter writer(&result);
    writeRoot(writer, icon);
    for (qsizetype i = 0; i < icon.elements.size(); ++i)
        if (recipe.solid.contains(int(i) + 1))
            writeElement(writer, icon.elements[i].name, changed(icon.elements[i].attributes, filledLook));
    writer.writeEndElement();
    return result;
}

// The filled circle of an inset icon, and the icon scaled into it.
Layers insetLayers(const Icon& icon)
{
    Layers layers;
    QXmlStreamWriter solid(&layers.solid);
    writeRoot(solid, icon);
    writeElement(
        solid, u"circle"_s,
        changed({}, {{u"cx"_s, u"12"_s}, {u"cy"_s, u"12"_s}, {u"r"_s, u"10"_s}, {u"fill"_s, u"currentColor"_s}}));
    solid.writeEndElement();

    QXmlStreamWriter cut(&layers.cut);
    writeRoot(cut, icon);
    cut.writeStartElement(u"g"_s);
    cut.writeAttribute(u"transform"_s, insetTransform);
    cut.writeAttribute(u"stroke-width"_s, insetStrokeWidth);
    for (const Element& element : icon.elements)
        writeElement(cut, element.name, element.attributes);
    cut.writeEndElement();
    cut.writeEndElement();
    return layers;
}
} // namespace

std::optional<Layers> layersOf(const QByteArray& svg)
{
    const std::optional<Icon> icon = iconOf(svg);
    if (!icon || !icon->root.hasAttribute(recipeAttribute))
        return std::nullopt;
    const Recipe recipe = recipeOf(icon->root.value(recipeAttribute));
    if (recipe.inset)
        return insetLayers(*icon);
    return Layers{solidLayer(*icon, recipe), cutLayer(*icon, recipe)};
}

} // namespace FilledSymbol
