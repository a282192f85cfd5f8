#include "gallery/CleanScreenshotCard.h"
#include "ui/ColorFromHex.h"

#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"
#include "ui/UnreadablePicture.h"

#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
constexpr double checkSize = 20;
constexpr double checkPadding = 8;
// The band along the top that the check button takes, and along the bottom
// that the pill or the badge takes.
constexpr double buttonBand = checkPadding + checkSize + 4;
constexpr int unreadableSymbolSize = 28;
constexpr double unreadableInset = 10;
constexpr double unreadableGap = 6;

// A stroke centred on the cell's edge, as a border drawn along a shape is.
void strokeEdge(QPainter& painter, const QRectF& cell, const QColor& color, double width)
{
    painter.setPen(QPen(color, width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(cell);
}

// The centre square of an image, without copying its pixels where the
// format allows a view on them.
QImage centreSquare(const QImage& image)
{
    const int square = std::min(image.width(), image.height());
    const QRect centre((image.width() - square) / 2, (image.height() - square) / 2, square, square);
    if (image.depth() < 16)
        return image.copy(centre);
    const uchar* first = image.constBits() + centre.y() * image.bytesPerLine() + centre.x() * (image.depth() / 8);
    return QImage(first, square, square, image.bytesPerLine(), image.format());
}
} // namespace

CleanScreenshotCard::Layers CleanScreenshotCard::layers(const State& state)
{
    Layers layers;
    layers.picture = state.hasPicture;
    layers.unreadable = state.unreadable && !state.hasPicture;
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
    if (thumbnail.isNull())
        return {};
    const int pixels = qMax(1, qRound(side * devicePixelRatio));
    // Scale to fill, keeping the centre: the filter reads only the pixels
    // that stay.
    QImage scaled = centreSquare(thumbnail).scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The whole card at once, opaque, so that painting it is a plain copy.
    QImage card;
    if (scaled.hasAlphaChannel()) {
        card = QImage(pixels, pixels, QImage::Format_RGB32);
        card.fill(PremiumTheme::surface());
        QPainter(&card).drawImage(0, 0, scaled);
    } else {
        card = std::move(scaled).convertToFormat(QImage::Format_RGB32);
    }
    QPainter(&card).drawImage(0, 0, cornerOverlay(pixels, devicePixelRatio));
    card.setDevicePixelRatio(devicePixelRatio);
    return card;
}

// The surface and the picture's shadow where the rounded corners cut the
// picture away, transparent inside: one blend instead of a clipped paint.
const QImage& CleanScreenshotCard::cornerOverlay(int pixels, qreal devicePixelRatio)
{
    if (m_cornerOverlay.width() == pixels && m_cornerOverlayRatio == devicePixelRatio)
        return m_cornerOverlay;
    QImage overlay(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    overlay.fill(PremiumTheme::surface());
    QPainter painter(&overlay);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 51));
    const qreal radius = cornerRadius * devicePixelRatio;
    painter.drawRoundedRect(QRectF(0, 2 * devicePixelRatio, pixels, pixels), radius, radius);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(0, 0, pixels, pixels), radius, radius);
    painter.end();
    // Its own ratio stays 1: it is blended pixel for pixel.
    m_cornerOverlay = std::move(overlay);
    m_cornerOverlayRatio = devicePixelRatio;
    return m_cornerOverlay;
}

void CleanScreenshotCard::paint(QPainter& painter, const QRectF& cell, const Layers& layers, const QImage& picture)
{
    if (layers.picture && !picture.isNull())
        painter.drawImage(cell.topLeft(), picture);
    else
        painter.fillRect(cell, PremiumTheme::surface());
    if (layers.unreadable)
        paintUnreadable(painter, cell, layers);
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

// The symbol, and beneath it the sentence where the card has room for it
// whole, clear of the check button (kept clear while it is hidden too, so
// that nothing moves when the pointer comes) and of the pill or badge.
void CleanScreenshotCard::paintUnreadable(QPainter& painter, const QRectF& cell, const Layers& layers)
{
    const double top = buttonBand;
    const double bottom = layers.magicPill || layers.videoBadge ? buttonBand : unreadableInset;
    const QRectF room = cell.adjusted(unreadableInset, top, -unreadableInset, -bottom);
    const QPixmap& icon = symbol(UnreadablePicture::symbolName(), unreadableSymbolSize, withAlpha(Qt::white, 0.5),
                                 painter.device()->devicePixelRatioF());
    const QSizeF iconSize = icon.deviceIndependentSize();
    if (iconSize.width() > room.width() || iconSize.height() > room.height())
        return;
    static const QFont font = PremiumTheme::systemFont(11);
    const QString text = UnreadablePicture::text();
    const QRectF textBounds = QFontMetricsF(font).boundingRect(QRectF(0, 0, room.width(), cell.height()),
                                                               Qt::AlignHCenter | Qt::TextWordWrap, text);
    const bool withText =
        textBounds.width() <= room.width() && iconSize.height() + unreadableGap + textBounds.height() <= room.height();
    const double height = iconSize.height() + (withText ? unreadableGap + textBounds.height() : 0);
    const double y = room.center().y() - height / 2;
    painter.drawPixmap(QPointF(room.center().x() - iconSize.width() / 2, y), icon);
    if (!withText)
        return;
    painter.setFont(font);
    painter.setPen(withAlpha(Qt::white, 0.6));
    painter.drawText(QRectF(room.left(), y + iconSize.height() + unreadableGap, room.width(), textBounds.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, text);
}

void CleanScreenshotCard::paintCheckButton(QPainter& painter, const QRectF& cell, const QString& symbolName,
                                           bool selected)
{
    const QRectF button = checkButtonRect(cell);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (selected) {
        // The check is cut out of the disc: white behind it, and a white
        // ring in a dark edge around it, keep both apart from any picture,
        // light or dark, and under a dimmed window too.
        painter.setBrush(QColor(0, 0, 0, 115));
        painter.drawEllipse(button.adjusted(-2.5, -2.5, 2.5, 2.5));
        painter.setBrush(Qt::white);
        painter.drawEllipse(button.adjusted(-1, -1, 1, 1));
    } else {
        painter.setBrush(QColor(0, 0, 0, 128));
        painter.drawEllipse(button);
    }
    const QColor tint = selected ? PremiumTheme::primary() : QColor(Qt::white);
    painter.drawPixmap(button.topLeft(),
                       symbol(symbolName, int(checkSize), tint, painter.device()->devicePixelRatioF()));
}

const QPixmap& CleanScreenshotCard::magicPill(qreal devicePixelRatio)
{
    if (!m_magicPill.isNull() && m_magicPill.devicePixelRatio() == devicePixelRatio)
        return m_magicPill;
    static const QString sparkle = u"✨"_s;
    static const QString magic = u"Magic"_s;
    const QFont sparkleFont = PremiumTheme::systemFont(11);
    const QFont magicFont = PremiumTheme::systemFont(10, QFont::Bold);
    const QFontMetricsF sparkleMetrics(sparkleFont);
    const QFontMetricsF magicMetrics(magicFont);
    const double sparkleWidth = sparkleMetrics.horizontalAdvance(sparkle);
    const double magicWidth = magicMetrics.horizontalAdvance(magic);
    const double height = std::max(sparkleMetrics.height(), magicMetrics.height()) + 8;
    const QSizeF size(8 + sparkleWidth + 4 + magicWidth + 8, height);

    QPixmap pill((size * devicePixelRatio).toSize());
    pill.setDevicePixelRatio(devicePixelRatio);
    pill.fill(Qt::transparent);
    QPainter painter(&pill);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(PremiumTheme::primary(), 0.8));
    const double radius = std::min(12.0, height / 2);
    painter.drawRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
    painter.setPen(Qt::white);
    painter.setFont(sparkleFont);
    painter.drawText(QRectF(8, 0, sparkleWidth, height), Qt::AlignCenter, sparkle);
    painter.setFont(magicFont);
    painter.drawText(QRectF(8 + sparkleWidth + 4, 0, magicWidth, height), Qt::AlignCenter, magic);
    painter.end();
    m_magicPill = pill;
    return m_magicPill;
}

void CleanScreenshotCard::paintMagicPill(QPainter& painter, const QRectF& cell)
{
    const QPixmap& pill = magicPill(painter.device()->devicePixelRatioF());
    const QSizeF size = pill.deviceIndependentSize();
    painter.drawPixmap(QPointF(cell.center().x() - size.width() / 2, cell.bottom() - 8 - size.height()), pill);
}

void CleanScreenshotCard::paintVideoBadge(QPainter& painter, const QRectF& cell)
{
    constexpr int size = 14;
    const qreal ratio = painter.device()->devicePixelRatioF();
    const QPointF at(cell.left() + 10, cell.bottom() - 10 - size);
    painter.drawPixmap(at + QPointF(0, 1), symbol(u"video.fill"_s, size, QColor(0, 0, 0, 128), ratio));
    painter.drawPixmap(at, symbol(u"video.fill"_s, size, Qt::white, ratio));
}
