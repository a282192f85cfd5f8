#include "ui/FilledSymbol.h"
#include "ui/SymbolLabel.h"
#include "ui/SymbolRegistry.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
// Every symbol name the screens ask for.
const QStringList screenSymbols = {
    u"app.dashed"_s,
    u"arrow.down"_s,
    u"arrow.down.circle"_s,
    u"arrow.down.circle.fill"_s,
    u"arrow.triangle.2.circlepath"_s,
    u"arrow.uturn.backward"_s,
    u"bolt.fill"_s,
    u"calendar"_s,
    u"calendar.badge.clock"_s,
    u"chart.bar.doc.horizontal"_s,
    u"chart.bar.fill"_s,
    u"chart.pie.fill"_s,
    u"checkmark"_s,
    u"checkmark.circle"_s,
    u"checkmark.circle.fill"_s,
    u"chevron.down"_s,
    u"chevron.left"_s,
    u"chevron.left.circle.fill"_s,
    u"chevron.right"_s,
    u"chevron.right.circle.fill"_s,
    u"chevron.up"_s,
    u"circle"_s,
    u"clock"_s,
    u"clock.arrow.circlepath"_s,
    u"doc"_s,
    u"doc.fill"_s,
    u"doc.on.doc"_s,
    u"doc.on.doc.fill"_s,
    u"doc.text.viewfinder"_s,
    u"exclamationmark.triangle.fill"_s,
    u"eye.fill"_s,
    u"folder"_s,
    u"folder.badge.gear"_s,
    u"folder.badge.gearshape"_s,
    u"folder.badge.plus"_s,
    u"folder.fill"_s,
    u"gearshape"_s,
    u"globe"_s,
    u"info.circle"_s,
    u"leaf.fill"_s,
    u"link"_s,
    u"link.circle.fill"_s,
    u"list.bullet"_s,
    u"magnifyingglass"_s,
    u"minus"_s,
    u"minus.magnifyingglass"_s,
    u"note.text"_s,
    u"pause.fill"_s,
    u"person.crop.circle.badge.checkmark"_s,
    u"photo.badge.exclamationmark"_s,
    u"photo.fill"_s,
    u"photo.on.rectangle"_s,
    u"photo.on.rectangle.angled"_s,
    u"photo.stack"_s,
    u"photo.stack.fill"_s,
    u"play.circle.fill"_s,
    u"play.fill"_s,
    u"play.tv.fill"_s,
    u"plus"_s,
    u"plus.circle.fill"_s,
    u"plus.magnifyingglass"_s,
    u"safari"_s,
    u"server.rack"_s,
    u"sidebar.right"_s,
    u"slider.horizontal.3"_s,
    u"sparkles"_s,
    u"sparkles.rectangle.stack"_s,
    u"sparkles.rectangle.stack.fill"_s,
    u"square.and.arrow.up"_s,
    u"square.grid.2x2"_s,
    u"sun.max.fill"_s,
    u"tag"_s,
    u"tag.fill"_s,
    u"text.magnifyingglass"_s,
    u"text.viewfinder"_s,
    u"trash"_s,
    u"trash.circle.fill"_s,
    u"trash.fill"_s,
    u"video.fill"_s,
    u"wand.and.stars"_s,
    u"xmark"_s,
    u"xmark.circle.fill"_s,
};

struct Ink
{
    int pixels = 0;
    QColor sample;
};

Ink inkOf(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QColor c = image.pixelColor(x, y); c.alpha() == 255) {
                ++ink.pixels;
                ink.sample = c;
            }
    return ink;
}
} // namespace

TEST(SymbolRegistry, EveryScreenSymbolDrawsInItsTint)
{
    for (const QString& name : screenSymbols) {
        ASSERT_TRUE(SymbolRegistry::contains(name)) << name.toStdString();
        const Ink ink = inkOf(SymbolRegistry::pixmap(name, 48, QColor(0x10, 0xB9, 0x81)));
        EXPECT_GT(ink.pixels, 40) << name.toStdString();
        EXPECT_EQ(ink.sample, QColor(0x10, 0xB9, 0x81)) << name.toStdString();
    }
    // The map holds nothing the screens do not use, and misses nothing.
    QStringList expected = screenSymbols;
    expected.sort();
    EXPECT_EQ(SymbolRegistry::names().join(u' ').toStdString(), expected.join(u' ').toStdString());
}

TEST(SymbolRegistry, PixmapsFollowTheDevicePixelRatio)
{
    const QPixmap sharp = SymbolRegistry::pixmap(u"photo.stack"_s, 24, Qt::white, 2.0);
    EXPECT_EQ(sharp.size(), QSize(48, 48));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(24, 24));
}

TEST(SymbolRegistry, UnknownNamesDrawNothingAndAreRemembered)
{
    EXPECT_FALSE(SymbolRegistry::contains(u"photo.stack.nonexistent"_s));
    EXPECT_FALSE(SymbolRegistry::contains(u""_s));
    EXPECT_EQ(inkOf(SymbolRegistry::pixmap(u"photo.stack.nonexistent"_s, 32, Qt::white)).pixels, 0);
    EXPECT_EQ(SymbolRegistry::unknownRequests(), QStringList{u"photo.stack.nonexistent"_s});
    // This test asked on purpose; the run-wide check must not count it.
    SymbolRegistry::clearUnknownRequests();
}

TEST(SymbolLabel, KeepsItsNameForInspectionAndPaintsIt)
{
    SymbolLabel label(u"wand.and.stars"_s, 64, Qt::white);
    EXPECT_EQ(label.property("symbolName").toString(), u"wand.and.stars"_s);
    EXPECT_EQ(label.sizeHint(), QSize(64, 64));
    label.resize(label.sizeHint());
    QPixmap canvas(label.size());
    canvas.fill(Qt::transparent);
    label.render(&canvas, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_GT(inkOf(canvas).pixels, 100);
}

namespace {
// The file's art as drawn without its fill recipe, white on clear.
QImage rendered(const QByteArray& svg, int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(QByteArray(svg).replace("currentColor", "#ffffff"));
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, side, side));
    return image;
}

int covered(const QImage& image)
{
    int pixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            pixels += qAlpha(image.pixel(x, y)) > 127 ? 1 : 0;
    return pixels;
}

// Opacity at a point of the 24 × 24 art drawn at `side`.
int alphaAt(const QImage& image, QPointF artPoint)
{
    const qreal scale = image.width() / 24.0;
    return qAlpha(image.pixel((artPoint * scale).toPoint()));
}
} // namespace

// A ".fill" name is drawn solid, not as the outline it shares with its plain
// variant: it covers clearly more than the outline icon does (the smallest
// solid, the sun's disc, adds about 5 % of the square).
TEST(SymbolRegistry, EveryFillSymbolIsDrawnSolid)
{
    int fills = 0;
    for (const QString& name : SymbolRegistry::names()) {
        if (!name.endsWith(u".fill"_s))
            continue;
        ++fills;
        QFile file(u":/symbols/"_s + name + u".svg"_s);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const int outline = covered(rendered(file.readAll(), 48));
        const int solid = covered(SymbolRegistry::pixmap(name, 48, Qt::white).toImage());
        EXPECT_GT(solid - outline, 48 * 48 / 25) << name.toStdString() << ": " << solid << " vs " << outline;
    }
    EXPECT_GE(fills, 28);
}

// The selected card's mark: a disc with the check cut out of it, so it reads
// on a light picture where a thin outline did not.
TEST(SymbolRegistry, TheCheckMarkCircleIsADiscWithTheCheckCutOut)
{
    const QImage mark = SymbolRegistry::pixmap(u"checkmark.circle.fill"_s, 48, Qt::white).toImage();
    EXPECT_EQ(alphaAt(mark, {12, 6}), 255);    // disc, above the check
    EXPECT_EQ(alphaAt(mark, {8, 16}), 255);    // disc, below the check's short arm
    EXPECT_EQ(alphaAt(mark, {10.5, 14.5}), 0); // the check's corner
    EXPECT_EQ(alphaAt(mark, {23.4, 23.4}), 0); // outside the disc
    EXPECT_GT(covered(mark), 48 * 48 * 6 / 10);
}

namespace {
// The solid layer with the cut layer laid over it, as the registry draws.
QImage composed(const QByteArray& svg, int side)
{
    const auto layers = FilledSymbol::layersOf(svg);
    if (!layers)
        return QImage();
    QImage image = rendered(layers->solid, side);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Xor);
    painter.drawImage(0, 0, rendered(layers->cut, side));
    return image;
}
} // namespace

// Solids are filled whatever their place in the file; holes and the other
// elements are cut out of them, once even where two cuts cross; what lies
// outside a solid stays.
TEST(FilledSymbol, RecipesFillCutAndKeepWhatLiesOutside)
{
    const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none"
        stroke="currentColor" stroke-width="2" data-fill="solid=2 hole=1">
        <rect x="10" y="10" width="4" height="4"/>
        <circle cx="12" cy="12" r="8"/>
        <path d="M2 4h20"/>
        <path d="M6 17h12M12 15v4"/>
        </svg>)";
    const QImage image = composed(svg, 96);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(alphaAt(image, {12, 12}), 0);   // the hole, filled and cut out
    EXPECT_EQ(alphaAt(image, {7, 12}), 255);  // the disc around it
    EXPECT_EQ(alphaAt(image, {2.5, 4}), 255); // the line beyond the disc
    EXPECT_EQ(alphaAt(image, {12, 4}), 0);    // the line across the disc, cut
    EXPECT_EQ(alphaAt(image, {12, 17}), 0);   // where two cuts cross
    EXPECT_EQ(alphaAt(image, {9, 17}), 0);
    // Without a recipe, or with art the recipe cannot address, there is
    // nothing to layer.
    EXPECT_FALSE(FilledSymbol::layersOf(QByteArray(svg).replace(R"(data-fill="solid=2 hole=1")", "")));
    const QByteArray nested = QByteArray(svg).replace(R"(<rect x="10" y="10" width="4" height="4"/>)",
                                                      R"(<g><rect x="10" y="10" width="4" height="4"/></g>)");
    ASSERT_NE(nested, svg);
    EXPECT_FALSE(FilledSymbol::layersOf(nested));
}

// An inset icon is a filled circle with the whole icon, smaller, cut out.
TEST(FilledSymbol, InsetCutsTheIconOutOfADisc)
{
    const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none"
        stroke="currentColor" stroke-width="2" data-fill="inset"><path d="M2 12h20"/></svg>)";
    const QImage image = composed(svg, 96);
    EXPECT_EQ(alphaAt(image, {12, 12}), 0);  // the line, cut out
    EXPECT_EQ(alphaAt(image, {12, 7}), 255); // the disc
    EXPECT_EQ(alphaAt(image, {3, 12}), 255); // beyond the line's end, scaled in
    EXPECT_EQ(alphaAt(image, {23.5, 12}), 0);
}
