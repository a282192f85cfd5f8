#include "gallery/CleanScreenshotCard.h"
#include "ui/ColorFromHex.h"

#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr double checkSize = 20;
constexpr double checkPadding = 8;

// A stroke centred on the cell's edge, as a border drawn along a shape is.
void strokeEdge(QPainter& painter, const QRectF& cell, const QColor& color, double width)
{
    painter.setPen(QPen(color, width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cell);
}
} // namespace

CleanScreenshotCard::Layers CleanScreenshotCard::layers(const State& state)
{
    Layers layers;
    layers.picture = state.hasPicture;
    layers.selectionMark = state.selected;
    layers.focusBorder = !state.selected && state.focused;
    layers.hoverBorder = !state.selected && state.hovered;
    layers.checkButton = state.selectionMode || state.selected || state.hovered;
    if (layers.checkButton)
        layers.checkSymbol = state.selected ? u"checkmark.circle.fill"_s : u"circle"_s;
    layers.magicPill = state.textAbsent;
    layers.videoBadge = state.video;
    return layers;
}

QRectF CleanScreenshotCard::checkButtonRect(const QRectF& cell)
{
    return {cell.right() - checkPadding - checkSize, cell.top() + checkPadding, checkSize, checkSize};
}

QRectF CleanScreenshotCard::checkButtonHitRect(const QRectF& cell)
{
    return checkButtonRect(cell).adjusted(-4, -4, 4, 4);
}

QImage CleanScreenshotCard::picture(const QImage& thumbnail, int side, qreal devicePixelRatio)
{
    const int pixels = qMax(1, qRound(side * devicePixelRatio));
    const QSize source = thumbnail.size();
    if (source.isEmpty())
        return {};
    // Scale to fill, keeping the centre: crop the centre square first, so
    // the filter reads only the pixels that stay.
    const int square = std::min(source.width(), source.height());
    const QRect centre((source.width() - square) / 2, (source.height() - square) / 2, square, square);
    const QImage scaled =
        thumbnail.copy(centre).scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The whole card at once, opaque: the surface, the shadow that shows
    // in the rounded corners, and the rounded picture. Painting it is then
    // a plain copy.
    QImage card(pixels, pixels, QImage::Format_RGB32);
    card.fill(PremiumTheme::surface());
    QPainter painter(&card);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 51));
    const qreal radius = cornerRadius * devicePixelRatio;
    painter.drawRoundedRect(QRectF(0, 2 * devicePixelRatio, pixels, pixels), radius, radius);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, pixels, pixels), radius, radius);
    painter.setClipPath(shape);
    painter.drawImage(0, 0, scaled);
    painter.end();
    card.setDevicePixelRatio(devicePixelRatio);
    return card;
}

void CleanScreenshotCard::paint(QPainter& painter, const QRectF& cell, const Layers& layers, const QImage& picture)
{
    if (layers.picture && !picture.isNull())
        painter.drawImage(cell.topLeft(), picture);
    else
        painter.fillRect(cell, PremiumTheme::surface());
    if (layers.selectionMark) {
        painter.fillRect(cell, withAlpha(PremiumTheme::primary(), 0.2));
        strokeEdge(painter, cell, PremiumTheme::primary(), 3);
    }
    if (layers.focusBorder)
        strokeEdge(painter, cell, withAlpha(Qt::white, 0.8), 2);
    if (layers.hoverBorder)
        strokeEdge(painter, cell, withAlpha(Qt::white, 0.5), 2);
    if (layers.checkButton)
        paintCheckButton(painter, cell, layers.checkSymbol, layers.selectionMark);
    if (layers.magicPill)
        paintMagicPill(painter, cell);
    if (layers.videoBadge)
        paintVideoBadge(painter, cell);
}

const QPixmap& CleanScreenshotCard::symbol(const QString& name, int size, const QColor& color, qreal ratio)
{
    const QString key = u"%1|%2|%3|%4"_s.arg(name).arg(size).arg(color.rgba()).arg(ratio);
    auto found = m_symbols.find(key);
    if (found == m_symbols.end())
        found = m_symbols.insert(key, SymbolRegistry::pixmap(name, size, color, ratio));
    return *found;
}

void CleanScreenshotCard::paintCheckButton(QPainter& painter, const QRectF& cell, const QString& symbolName,
                                           bool selected)
{
    const QRectF button = checkButtonRect(cell);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 128));
    painter.drawEllipse(button);
    const QColor tint = selected ? PremiumTheme::primary() : QColor(Qt::white);
    painter.drawPixmap(button.topLeft(),
                       symbol(symbolName, int(checkSize), tint, painter.device()->devicePixelRatioF()));
}

void CleanScreenshotCard::paintMagicPill(QPainter& painter, const QRectF& cell)
{
    static const QString sparkle = u"✨"_s;
    static const QString magic = u"Magic"_s;
    static const QFont sparkleFont = PremiumTheme::systemFont(11);
    static const QFont magicFont = PremiumTheme::systemFont(10, QFont::Bold);
    static const QFontMetricsF sparkleMetrics(sparkleFont);
    static const QFontMetricsF magicMetrics(magicFont);
    const double sparkleWidth = sparkleMetrics.horizontalAdvance(sparkle);
    const double magicWidth = magicMetrics.horizontalAdvance(magic);
    const double height = std::max(sparkleMetrics.height(), magicMetrics.height()) + 8;
    const double width = 8 + sparkleWidth + 4 + magicWidth + 8;
    const QRectF pill(cell.center().x() - width / 2, cell.bottom() - 8 - height, width, height);

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(PremiumTheme::primary(), 0.8));
    painter.drawRoundedRect(pill, std::min(12.0, height / 2), std::min(12.0, height / 2));
    painter.setPen(Qt::white);
    painter.setFont(sparkleFont);
    painter.drawText(QRectF(pill.left() + 8, pill.top(), sparkleWidth, height), Qt::AlignCenter, sparkle);
    painter.setFont(magicFont);
    painter.drawText(QRectF(pill.left() + 8 + sparkleWidth + 4, pill.top(), magicWidth, height), Qt::AlignCenter,
                     magic);
}

void CleanScreenshotCard::paintVideoBadge(QPainter& painter, const QRectF& cell)
{
    constexpr int size = 14;
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QPointF at(cell.left() + 10, cell.bottom() - 10 - size);
    painter.drawPixmap(at + QPointF(0, 1), symbol(u"video.fill"_s, size, QColor(0, 0, 0, 128), ratio));
    painter.drawPixmap(at, symbol(u"video.fill"_s, size, Qt::white, ratio));
}
