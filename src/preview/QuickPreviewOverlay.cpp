#include "preview/QuickPreviewOverlay.h"

#include "core/GuiThread.h"
#include "preview/QuickVideoPlayer.h"
#include "ui/ActivitySpinner.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SoftShadow.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"
#include "ui/UnreadablePicture.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {
constexpr qreal mediaPadding = 24;
constexpr qreal mediaRadius = QuickVideoPlayer::cornerRadius;
constexpr int closePadding = 16;
constexpr int closeSymbolSize = 22; // the title text style

QRectF fitted(const QSizeF& image, const QRectF& area)
{
    if (image.isEmpty() || area.isEmpty())
        return {};
    QRectF target(QPointF(0, 0), image.scaled(area.size(), Qt::KeepAspectRatio));
    target.moveCenter(area.center());
    return target;
}
} // namespace

QuickPreviewOverlay::QuickPreviewOverlay(const Screenshot& screenshot, QWidget* parent)
    : QWidget(parent)
    , m_screenshot(screenshot)
{
    setObjectName(u"quickPreview"_s);
    m_decoder.setMaxThreadCount(1);

    auto* close = new PlainButton(RoundedBackground{}, QMargins(), QBoxLayout::LeftToRight, this);
    auto* symbol = new SymbolLabel(u"xmark.circle.fill"_s, closeSymbolSize, QColor(255, 255, 255, 204), close);
    auto* shadow = new QGraphicsDropShadowEffect(symbol);
    shadow->setColor(QColor(0, 0, 0, 84));
    shadow->setBlurRadius(4);
    shadow->setOffset(0, 0);
    symbol->setGraphicsEffect(shadow);
    close->contentLayout()->addWidget(symbol);
    close->setCursor(Qt::PointingHandCursor);
    close->setToolTip(u"Close"_s);
    m_closeButton = close;
    connect(close, &QAbstractButton::clicked, this, &QuickPreviewOverlay::closeRequested);

    if (screenshot.isVideo()) {
        m_content = Content::video;
        m_video = new QuickVideoPlayer(QUrl::fromLocalFile(screenshot.filePath), this);
    } else {
        m_busy = new ActivitySpinner(1.5, this);
        m_message =
            makeTextLabel(UnreadablePicture::text(), PremiumTheme::systemFont(13), PremiumTheme::textSecondary(), this);
        m_message->hide();
    }
    // For a recording, a still of it until it plays.
    startLoading();
    m_closeButton->raise();
}

QuickPreviewOverlay::~QuickPreviewOverlay() = default;

QRectF QuickPreviewOverlay::mediaArea() const
{
    return QRectF(rect()).adjusted(mediaPadding, mediaPadding, -mediaPadding, -mediaPadding);
}

QRectF QuickPreviewOverlay::imageRect() const
{
    return m_content == Content::image ? fitted(m_image.deviceIndependentSize(), mediaArea()) : QRectF();
}

void QuickPreviewOverlay::startLoading()
{
    // Decoded for the popup's size on this screen, not at the file's full size.
    const qreal ratio = devicePixelRatioF();
    const QSizeF target = QSizeF(450, 500) * ratio;
    QPointer<QuickPreviewOverlay> self(this);
    const Screenshot screenshot = m_screenshot;
    m_decoder.start([self, screenshot, target, ratio] {
        QImage image = screenshot.generateThumbnail(target);
        image.setDevicePixelRatio(image.devicePixelRatio() * ratio);
        runOnGuiThread([self, image] {
            if (self)
                self->imageLoaded(image);
        });
    });
}

void QuickPreviewOverlay::imageLoaded(const QImage& image)
{
    if (m_video) {
        m_video->setPoster(image);
        layoutChildren();
        update();
        return;
    }
    m_image = image;
    m_content = image.isNull() ? Content::unreadable : Content::image;
    m_busy->hide();
    m_message->setVisible(m_content == Content::unreadable);
    layoutChildren();
    update();
}

void QuickPreviewOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void QuickPreviewOverlay::layoutChildren()
{
    const QSize closeSize = m_closeButton->sizeHint();
    m_closeButton->setGeometry(width() - closePadding - closeSize.width(), closePadding, closeSize.width(),
                               closeSize.height());
    const QPoint centre = rect().center();
    if (m_busy)
        m_busy->move(centre - QPoint(m_busy->width() / 2, m_busy->height() / 2));
    if (m_message) {
        m_message->adjustSize();
        m_message->move(centre - QPoint(m_message->width() / 2, m_message->height() / 2));
    }
    if (m_video) {
        // The player hugs the recording's shape once a still gives it.
        const QRectF area = mediaArea();
        QRectF box(QPointF(0, 0), m_video->fittingSize(m_video->picture().deviceIndependentSize(), area.size()));
        box.moveCenter(area.center());
        m_video->setGeometry(box.toRect());
    }
}

void QuickPreviewOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.85f));
    const auto shadow = [&painter](const QRectF& target) {
        SoftShadow::paintRoundedRect(painter, target, mediaRadius, QColor::fromRgbF(0, 0, 0, 0.5f), 20, QPointF(0, 10));
    };
    if (m_video)
        shadow(m_video->geometry());
    if (m_content != Content::image)
        return;
    const QRectF target = imageRect();
    shadow(target);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipPath(RoundedBackground::path(target, mediaRadius));
    painter.drawImage(target, m_image);
}

void QuickPreviewOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    // The backdrop and the image both close; the recording keeps its clicks.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT closeRequested();
}
