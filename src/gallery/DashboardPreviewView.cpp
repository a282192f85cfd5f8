#include "gallery/DashboardPreviewView.h"

#include "platform/DesktopIntegration.h"
#include "ui/ActivitySpinner.h"
#include "ui/Alert.h"
#include "ui/AnimatedChange.h"
#include "ui/BlurView.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolButtons.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"
#include "ui/UnreadablePicture.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr int edgePadding = 16;
constexpr int toolbarBottom = 24;
// Between the picture and the controls above and below it.
constexpr int chromeGap = 8;

// The toolbar's ground: the ultra-thin material on a rounded rectangle.
class ToolbarPanel : public QWidget
{
public:
    ToolbarPanel()
    {
        setAttribute(Qt::WA_TranslucentBackground);
        RoundedBackground{20, Qt::NoBrush, Qt::transparent, 0,
                          RoundedBackground::Shadow{withOpacity(Qt::black, 0.33), 4, {}}}
            .applyShadow(*this);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        RoundedBackground{20, BlurView::fillColor(BlurView::Material::ultraThin), Qt::transparent, 0, std::nullopt}
            .paint(painter, rect());
    }
};

QWidget* toolbarDivider()
{
    auto* divider = new QWidget;
    divider->setFixedSize(1, 12);
    divider->setAutoFillBackground(true);
    QPalette palette = divider->palette();
    palette.setColor(QPalette::Window, withOpacity(Qt::white, 0.3));
    divider->setPalette(palette);
    return divider;
}
} // namespace

DashboardPreviewView::DashboardPreviewView(const Screenshot& screenshot, QList<Screenshot> allScreenshots,
                                           std::function<void()> onClose,
                                           std::function<void(const Screenshot&)> onNavigate,
                                           std::function<void(const Screenshot&)> onDelete, Services services,
                                           QWidget* parent)
    : QWidget(parent)
    , m_onClose(std::move(onClose))
    , m_onNavigate(std::move(onNavigate))
    , m_onDelete(std::move(onDelete))
    , m_services(services)
    , m_media(new PreviewMedia(*this, services.video, services.workers))
    , m_spinner(new ActivitySpinner(1.0, this))
    , m_unreadable(UnreadablePicture::makePlaceholder(this))
{
    setObjectName(u"dashboardPreview"_s);
    // The preview takes the keys (Esc, Delete); its buttons are clicked.
    setFocusPolicy(Qt::StrongFocus);
    connect(m_media, &PreviewMedia::pictureArrived, this, &DashboardPreviewView::showMedia);
    connect(m_media, &PreviewMedia::pictureUnreadable, this, &DashboardPreviewView::showMedia);

    m_previousButton = makeCircleSymbolButton(u"chevron.left"_s, 24, withOpacity(Qt::white, 0.5), 16,
                                              withOpacity(Qt::black, 0.2), Qt::transparent, this);
    m_previousButton->setObjectName(u"previous"_s);
    connect(m_previousButton, &QAbstractButton::clicked, this, [this] {
        if (const auto shot = previous())
            m_onNavigate(*shot);
    });
    m_nextButton = makeCircleSymbolButton(u"chevron.right"_s, 24, withOpacity(Qt::white, 0.5), 16,
                                          withOpacity(Qt::black, 0.2), Qt::transparent, this);
    m_nextButton->setObjectName(u"next"_s);
    connect(m_nextButton, &QAbstractButton::clicked, this, [this] {
        if (const auto shot = next())
            m_onNavigate(*shot);
    });
    m_closeButton = makeCircleSymbolButton(u"xmark"_s, 16, withOpacity(Qt::white, 0.8), 10, withOpacity(Qt::black, 0.3),
                                           withOpacity(Qt::white, 0.1), this);
    m_closeButton->setObjectName(u"close"_s);
    m_closeButton->setToolTip(u"Close Preview (Esc)"_s);
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] { m_onClose(); });
    m_toolbar = makeToolbar();
    m_toolbar->setParent(this);

    m_media->setAllScreenshots(std::move(allScreenshots));
    m_media->setScreenshot(screenshot);
    showMedia();
    syncNavigation();
}

DashboardPreviewView::~DashboardPreviewView() = default;

QWidget* DashboardPreviewView::makeToolbar()
{
    auto* toolbar = new ToolbarPanel;
    toolbar->setObjectName(u"previewToolbar"_s);
    auto* row = new QHBoxLayout(toolbar);
    row->setContentsMargins(16, 8, 16, 8);
    row->setSpacing(12);

    auto* zoom = new QHBoxLayout;
    zoom->setSpacing(4);
    m_zoomOutButton = makeBorderedButton(new SymbolLabel(u"minus"_s, 14, withOpacity(Qt::white, 0.8)));
    m_zoomOutButton->setObjectName(u"zoomOut"_s);
    connect(m_zoomOutButton, &QAbstractButton::clicked, this, &DashboardPreviewView::zoomOut);
    m_zoomLabel = makeTextLabel(zoomText(), PremiumTheme::captionFont(), withOpacity(Qt::white, 0.8));
    m_zoomLabel->setObjectName(u"zoomLabel"_s);
    m_zoomLabel->setFixedWidth(40);
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    m_zoomInButton = makeBorderedButton(new SymbolLabel(u"plus"_s, 14, withOpacity(Qt::white, 0.8)));
    m_zoomInButton->setObjectName(u"zoomIn"_s);
    connect(m_zoomInButton, &QAbstractButton::clicked, this, &DashboardPreviewView::zoomIn);
    zoom->addWidget(m_zoomOutButton);
    zoom->addWidget(m_zoomLabel);
    zoom->addWidget(m_zoomInButton);
    row->addLayout(zoom);

    row->addWidget(toolbarDivider());
    m_openButton = makeBorderedButton(makeTextLabel(u"Open"_s, PremiumTheme::captionFont(), Qt::white));
    m_openButton->setObjectName(u"open"_s);
    connect(m_openButton, &QAbstractButton::clicked, this, &DashboardPreviewView::openInDefaultApp);
    row->addWidget(m_openButton);
    row->addWidget(toolbarDivider());
    auto* trash = new PlainButton(RoundedBackground{}, QMargins(2, 2, 2, 2));
    trash->contentLayout()->addWidget(
        new SymbolLabel(u"trash"_s, 14, withOpacity(PremiumTheme::systemColor(SystemColor::red), 0.9)));
    trash->setObjectName(u"trash"_s);
    trash->setFocusPolicy(Qt::NoFocus);
    trash->setCursor(Qt::PointingHandCursor);
    connect(trash, &QAbstractButton::clicked, this, &DashboardPreviewView::askToDelete);
    m_trashButton = trash;
    row->addWidget(trash);
    return toolbar;
}

void DashboardPreviewView::setScreenshot(const Screenshot& screenshot)
{
    if (m_media->setScreenshot(screenshot)) {
        showMedia();
        setScale(1.0, false);
    }
    syncNavigation();
}

void DashboardPreviewView::setAllScreenshots(QList<Screenshot> screenshots)
{
    m_media->setAllScreenshots(std::move(screenshots));
    syncNavigation();
}

void DashboardPreviewView::syncNavigation()
{
    m_previousButton->setVisible(previous().has_value());
    m_nextButton->setVisible(next().has_value());
}

// A recording shows no spinner: the player shows it at once.
void DashboardPreviewView::showMedia()
{
    m_spinner->setVisible(m_media->isLoading());
    m_unreadable->setVisible(m_media->isUnreadable());
    layoutChildren();
    update();
}

bool DashboardPreviewView::isLoading() const
{
    return m_media->isLoading();
}

bool DashboardPreviewView::isUnreadable() const
{
    return m_media->isUnreadable();
}

QString DashboardPreviewView::zoomText() const
{
    // A hair above, so that 0.29 reads 29% rather than 28%.
    return u"%1%"_s.arg(qint64(std::trunc(m_scale * 100 + 1e-9)));
}

void DashboardPreviewView::zoomIn()
{
    const double zoomed = m_scale + zoomStep;
    setScale(zoomed > maxZoom ? maxZoom : zoomed, true);
}

void DashboardPreviewView::zoomOut()
{
    const double zoomed = m_scale - zoomStep;
    setScale(zoomed <= minZoom ? minZoom : zoomed, true);
}

void DashboardPreviewView::applyMagnification(double magnification)
{
    setScale(magnification, false);
}

void DashboardPreviewView::setScale(double scale, bool animated)
{
    m_scale = scale;
    m_zoomLabel->setText(zoomText());
    if (animated) {
        const auto animation = AnimatedChange::defaultAnimation();
        Motion::animate(this, "shownScale", scale, animation.curve, animation.durationMs);
    } else {
        Motion::animate(this, "shownScale", scale, QEasingCurve::Linear, 0);
    }
}

void DashboardPreviewView::setShownScale(double scale)
{
    m_shownScale = scale;
    layoutChildren();
    update();
}

void DashboardPreviewView::openInDefaultApp()
{
    m_services.desktop.openFile(screenshot().filePath);
}

QMessageBox* DashboardPreviewView::deleteConfirmation() const
{
    return m_deleteConfirmation;
}

void DashboardPreviewView::askToDelete()
{
    if (m_deleteConfirmation)
        return;
    m_deleteConfirmation = Alert::openDeleteScreenshotConfirmation(this, [this] {
        // Copies: the gallery may let go of this view in either call.
        const Screenshot shown = screenshot();
        const auto onClose = m_onClose;
        m_onDelete(shown);
        onClose();
    });
}

bool DashboardPreviewView::event(QEvent* event)
{
    if (const auto magnification = m_pinch.track(event)) {
        applyMagnification(*magnification);
        return true;
    }
    return QWidget::event(event);
}

// Esc and the Delete keys are the only keys; arrows do not step.
void DashboardPreviewView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        m_onClose();
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        askToDelete();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

// With Ctrl held, each notch of the wheel is one step of the zoom buttons.
void DashboardPreviewView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int notches = event->angleDelta().y() / 120;
        for (int i = 0; i < std::abs(notches); ++i)
            notches > 0 ? zoomIn() : zoomOut();
    }
    event->accept();
}

// Clicks anywhere in the preview stay in it.
void DashboardPreviewView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void DashboardPreviewView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

// Between the close button and the toolbar, as far from the top as from the
// bottom: a square or upright picture fitted to the whole height would lie
// under both.
QRect DashboardPreviewView::mediaArea() const
{
    const int top = edgePadding + m_closeButton->height() + chromeGap;
    const int bottom = toolbarBottom + m_toolbar->sizeHint().height() + chromeGap;
    const int inset = std::min(std::max(top, bottom), height() / 4);
    return rect().adjusted(0, inset, 0, -inset);
}

QRectF DashboardPreviewView::pictureRect() const
{
    if (m_media->isVideo())
        return {};
    return m_media->picture().rectIn(mediaArea(), m_shownScale);
}

void DashboardPreviewView::layoutChildren()
{
    const QRect area = mediaArea();
    if (CustomVideoPlayer* video = m_media->videoPlayer()) {
        QRectF zoomed(QPointF(0, 0), QSizeF(area.size()) * m_shownScale);
        zoomed.moveCenter(QRectF(area).center());
        video->setGeometry(zoomed.toRect());
    }
    m_spinner->move(area.center() - QPoint(m_spinner->width() / 2, m_spinner->height() / 2));
    m_unreadable->move(area.center() - QPoint(m_unreadable->width() / 2, m_unreadable->height() / 2));
    const int middle = height() / 2;
    m_previousButton->move(edgePadding, middle - m_previousButton->height() / 2);
    m_nextButton->move(width() - edgePadding - m_nextButton->width(), middle - m_nextButton->height() / 2);
    m_closeButton->move(width() - edgePadding - m_closeButton->width(), edgePadding);
    const QSize toolbar = m_toolbar->sizeHint();
    m_toolbar->setGeometry((width() - toolbar.width()) / 2, height() - toolbarBottom - toolbar.height(),
                           toolbar.width(), toolbar.height());
}

void DashboardPreviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The hit layer: all but invisible, yet it takes every click.
    painter.fillRect(rect(), withOpacity(Qt::black, 0.01));
    if (!m_media->isVideo())
        m_media->picture().paint(painter, mediaArea(), m_shownScale, devicePixelRatioF());
}
