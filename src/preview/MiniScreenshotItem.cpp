#include "preview/MiniScreenshotItem.h"

#include "core/DateText.h"
#include "ui/ColorFromHex.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolRegistry.h"
#include "ui/UnreadablePicture.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

namespace MiniScreenshotItem {

namespace {
constexpr qreal buttonSymbolSize = 14;
constexpr qreal copiedSymbolSize = 17; // the title-2 text style
constexpr qreal labelPadding = 4;
constexpr qreal unreadableSymbolSize = 24;
constexpr qreal unreadableInset = 8;
constexpr qreal unreadableGap = 4;

QColor black(qreal opacity)
{
    return QColor::fromRgbF(0, 0, 0, float(opacity));
}

QColor blend(const QColor& from, const QColor& to, qreal amount)
{
    const auto mix = [amount](float a, float b) { return a + (b - a) * float(amount); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()), mix(from.blueF(), to.blueF()),
                            mix(from.alphaF(), to.alphaF()));
}

// The image scaled to cover `cell`, centred; what overflows is clipped.
QRectF coverRect(const QSizeF& image, const QRectF& cell)
{
    if (image.isEmpty())
        return cell;
    const qreal scale = std::max(cell.width() / image.width(), cell.height() / image.height());
    QRectF target(QPointF(0, 0), image * scale);
    target.moveCenter(cell.center());
    return target;
}

QFont timeLabelFont()
{
    return PremiumTheme::systemFont(10, QFont::Bold);
}

void paintTimeLabel(QPainter& painter, const QRectF& cell, const QString& text)
{
    const QFont font = timeLabelFont();
    const QFontMetricsF metrics(font);
    const QSizeF box(metrics.horizontalAdvance(text) + 2 * labelPadding, metrics.height() + 2 * labelPadding);
    const QRectF label(cell.center().x() - box.width() / 2, cell.bottom() - labelPadding - box.height(), box.width(),
                       box.height());
    RoundedBackground{4, black(0.6), Qt::transparent, 1, std::nullopt}.paint(painter, label);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(label, Qt::AlignCenter, text);
}

// The symbol, and beneath it the sentence where the cell has room for it
// whole, clear of the time label.
void paintUnreadable(QPainter& painter, const QRectF& cell)
{
    const qreal timeBand = QFontMetricsF(timeLabelFont()).height() + 3 * labelPadding;
    const QRectF room = cell.adjusted(unreadableInset, unreadableInset, -unreadableInset, -timeBand);
    if (room.width() < unreadableSymbolSize || room.height() < unreadableSymbolSize)
        return;
    const QFont font = PremiumTheme::systemFont(10);
    const QString text = UnreadablePicture::text();
    const QRectF textBounds = QFontMetricsF(font).boundingRect(QRectF(0, 0, room.width(), cell.height()),
                                                               Qt::AlignHCenter | Qt::TextWordWrap, text);
    const bool withText = textBounds.width() <= room.width() &&
                          unreadableSymbolSize + unreadableGap + textBounds.height() <= room.height();
    const qreal height = unreadableSymbolSize + (withText ? unreadableGap + textBounds.height() : 0);
    const qreal y = room.center().y() - height / 2;
    SymbolRegistry::paint(
        painter, QRectF(room.center().x() - unreadableSymbolSize / 2, y, unreadableSymbolSize, unreadableSymbolSize),
        UnreadablePicture::symbolName(), withOpacity(Qt::white, 0.5));
    if (!withText)
        return;
    painter.setFont(font);
    painter.setPen(withOpacity(Qt::white, 0.6));
    painter.drawText(QRectF(room.left(), y + unreadableSymbolSize + unreadableGap, room.width(), textBounds.height()),
                     Qt::AlignHCenter | Qt::TextWordWrap, text);
}
} // namespace

QList<Button> buttons(const Screenshot& screenshot, const QRectF& cell)
{
    QList<Button> result{{Action::preview, u"eye.fill"_s, u"Quick Preview"_s, {}},
                         {Action::copyImage, u"doc.on.doc.fill"_s, u"Copy Image"_s, {}}};
    if (screenshot.ocrText)
        result.append({Action::copyText, u"text.viewfinder"_s, u"Copy Text"_s, {}});
    const qreal total = result.size() * buttonDiameter + (result.size() - 1) * buttonSpacing;
    qreal x = cell.center().x() - total / 2;
    const qreal y = cell.center().y() - buttonDiameter / 2;
    for (Button& button : result) {
        button.rect = QRectF(x, y, buttonDiameter, buttonDiameter);
        x += buttonDiameter + buttonSpacing;
    }
    return result;
}

QString timeLabel(const Screenshot& screenshot)
{
    return DateText::shortTime(screenshot.dateCreated);
}

void paint(QPainter& painter, const QRectF& cell, const Screenshot& screenshot, const std::optional<QImage>& thumbnail,
           State state)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPainterPath frame = RoundedBackground::path(cell, cornerRadius);

    painter.save();
    painter.setClipPath(frame, Qt::IntersectClip); // within the caller's clip
    if (thumbnail && !thumbnail->isNull()) {
        painter.drawImage(coverRect(thumbnail->deviceIndependentSize(), cell), *thumbnail);
    } else {
        painter.fillPath(frame, withOpacity(PremiumTheme::textSecondary(), 0.1));
        if (state.unreadable)
            paintUnreadable(painter, cell);
    }
    if (state.hover > 0)
        painter.fillPath(frame, black(0.5 * state.hover));
    painter.restore();
    // A 2 wide line centred on the outline.
    painter.strokePath(frame, QPen(blend(withOpacity(Qt::white, 0.1), PremiumTheme::accent(), state.hover), 2));

    if (state.hover > 0) {
        painter.save();
        painter.setOpacity(state.hover);
        for (const Button& button : buttons(screenshot, cell)) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(black(0.7));
            painter.drawEllipse(button.rect);
            const QRectF symbol(button.rect.center() - QPointF(buttonSymbolSize, buttonSymbolSize) / 2,
                                QSizeF(buttonSymbolSize, buttonSymbolSize));
            SymbolRegistry::paint(painter, symbol, button.symbol, Qt::white);
        }
        painter.restore();
    }
    if (state.copied) {
        painter.fillPath(frame, black(0.6));
        const QRectF mark(cell.center() - QPointF(copiedSymbolSize, copiedSymbolSize) / 2,
                          QSizeF(copiedSymbolSize, copiedSymbolSize));
        SymbolRegistry::paint(painter, mark, u"checkmark.circle.fill"_s, PremiumTheme::systemColor(SystemColor::green));
    }
    if (state.hover < 1) {
        painter.setOpacity(1 - state.hover);
        paintTimeLabel(painter, cell, timeLabel(screenshot));
    }
    painter.restore();
}

} // namespace MiniScreenshotItem
