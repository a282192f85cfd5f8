#include "ui/SymbolLabel.h"
#include "ui/SymbolRegistry.h"

#include <QImage>
#include <QPainter>

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
