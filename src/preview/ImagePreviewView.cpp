#include "preview/ImagePreviewView.h"

#include "core/DateText.h"
#include "platform/DesktopIntegration.h"
#include "preview/InspectorText.h"
#include "preview/MetadataInspectorView.h"
#include "ui/ActivitySpinner.h"
#include "ui/Alert.h"
#include "ui/AnimatedChange.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolButtons.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"
#include "ui/TextStyle.h"
#include "ui/UnreadablePicture.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
constexpr int arrowPadding = 20;
constexpr int sliderSteps = 100; // slider positions per unit of zoom
const Spring inspectorSpring{0.35, 0.8, 0};

// A panel with a background: clicks on it stay in it rather than reaching
// the backdrop behind, which closes the preview.
class Panel : public QWidget
{
public:
    explicit Panel(RoundedBackground background)
        : m_background(std::move(background))
    {
        setAttribute(Qt::WA_NoMousePropagation);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_background.paint(painter, rect());
    }

private:
    RoundedBackground m_background;
};

PlainButton* fileButton(const QString& symbol, const QColor& color, const QString& tooltip)
{
    PlainButton* button = makeCircleSymbolButton(symbol, 20, color, 12, withOpacity(Qt::black, 0.3));
    button->setToolTip(tooltip);
    return button;
}

PlainButton* zoomButton(const QString& symbol)
{
    auto* button = new PlainButton(RoundedBackground{}, QMargins());
    button->contentLayout()->addWidget(new SymbolLabel(symbol, 14, withOpacity(Qt::white, 0.8)));
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
} // namespace

ImagePreviewView::ImagePreviewView(std::optional<Screenshot> screenshot, QList<Screenshot> allScreenshots,
                                   Services services, Callbacks callbacks, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_callbacks(std::move(callbacks))
    , m_media(new PreviewMedia(*this, services.video, services.workers))
    , m_loading(new QWidget(this))
    , m_unreadable(UnreadablePicture::makePlaceholder(this))
    , m_spinner(new ActivitySpinner(1.5))
    , m_inspector(new MetadataInspectorView(services.database, services.monitor, this))
{
    setObjectName(u"imagePreview"_s);
    // The preview takes the keys; its buttons are clicked, never focused.
    setFocusPolicy(Qt::StrongFocus);
    connect(m_media, &PreviewMedia::pictureArrived, this, &ImagePreviewView::pictureArrived);
    connect(m_media, &PreviewMedia::pictureUnreadable, this, &ImagePreviewView::pictureUnreadable);

    auto* loading = new QVBoxLayout(m_loading);
    loading->setSpacing(12);
    loading->setContentsMargins(0, 0, 0, 0);
    loading->addWidget(m_spinner, 0, Qt::AlignHCenter);
    loading->addWidget(
        makeTextLabel(u"Loading high-res..."_s, PremiumTheme::captionFont(), withOpacity(Qt::white, 0.6)), 0,
        Qt::AlignHCenter);
    m_loading->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_inspector->setAttribute(Qt::WA_NoMousePropagation);
    m_inspector->setFixedWidth(inspectorWidth);
    m_inspector->hide();
    m_inspector->setOnScreenshotUpdated([this](const Screenshot& edited) {
        if (this->screenshot() && this->screenshot()->id == edited.id)
            m_media->setScreenshot(edited); // the same one: nothing reloads
        if (m_callbacks.onScreenshotUpdated)
            m_callbacks.onScreenshotUpdated(edited);
    });
    connect(m_inspector, &MetadataInspectorView::isEditingChanged, this,
            [this](bool editing) { m_isInspectorEditing = editing; });

    m_previous = makeCircleSymbolButton(u"chevron.left"_s, 30, withOpacity(Qt::white, 0.8), 20,
                                        withOpacity(Qt::black, 0.3), Qt::transparent, this);
    m_previous->setObjectName(u"previous"_s);
    connect(m_previous, &QAbstractButton::clicked, this, &ImagePreviewView::showPrevious);
    m_next = makeCircleSymbolButton(u"chevron.right"_s, 30, withOpacity(Qt::white, 0.8), 20,
                                    withOpacity(Qt::black, 0.3), Qt::transparent, this);
    m_next->setObjectName(u"next"_s);
    connect(m_next, &QAbstractButton::clicked, this, &ImagePreviewView::showNext);
    m_topBar = makeTopBar();
    m_topBar->setParent(this);
    m_infoBar = makeInfoBar();
    m_infoBar->setParent(this);

    m_media->setAllScreenshots(std::move(allScreenshots));
    m_media->setScreenshot(screenshot);
    showScreenshot();
    syncInspectorButton();
}

ImagePreviewView::~ImagePreviewView() = default;

QWidget* ImagePreviewView::makeTopBar()
{
    auto* bar = new QWidget;
    bar->setObjectName(u"topBar"_s);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addStretch();

    m_fileButtons = new QWidget;
    m_fileButtons->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* files = new QHBoxLayout(m_fileButtons);
    files->setContentsMargins(0, 0, 0, 0);
    files->setSpacing(8);
    m_reveal = fileButton(u"folder.fill"_s, withOpacity(Qt::white, 0.8), u"Show in File Manager"_s);
    m_reveal->setObjectName(u"reveal"_s);
    connect(m_reveal, &QAbstractButton::clicked, this, &ImagePreviewView::revealInFileManager);
    m_inspectorToggle =
        fileButton(u"sparkles.rectangle.stack"_s, withOpacity(Qt::white, 0.8), u"Toggle Metadata Lens (I)"_s);
    m_inspectorToggle->setObjectName(u"inspectorToggle"_s);
    m_inspectorSymbol = m_inspectorToggle->findChild<SymbolLabel*>();
    connect(m_inspectorToggle, &QAbstractButton::clicked, this, [this] {
        const bool visible = !m_isInspectorVisible;
        m_isInspectorVisible = visible;
        syncInspectorButton();
        syncChrome();
        Motion::animate(this, "inspectorReveal", visible ? 1.0 : 0.0, inspectorSpring);
    });
    m_delete =
        fileButton(u"trash.fill"_s, withOpacity(PremiumTheme::systemColor(SystemColor::red), 0.9), u"Delete (Del)"_s);
    m_delete->setObjectName(u"delete"_s);
    connect(m_delete, &QAbstractButton::clicked, this, &ImagePreviewView::askToDelete);
    files->addWidget(m_reveal);
    files->addWidget(m_inspectorToggle);
    files->addWidget(m_delete);
    row->addWidget(m_fileButtons);

    row->addWidget(makeZoomControl());
    m_close = makeCircleSymbolButton(u"xmark.circle.fill"_s, 24, withOpacity(Qt::white, 0.8), 20, Qt::transparent);
    m_close->setObjectName(u"close"_s);
    connect(m_close, &QAbstractButton::clicked, this, [this] { m_callbacks.onClose(); });
    row->addSpacing(8 - row->spacing());
    row->addWidget(m_close);
    return bar;
}

QWidget* ImagePreviewView::makeZoomControl()
{
    auto* control = new Panel(RoundedBackground{20, withOpacity(Qt::black, 0.3), Qt::transparent, 0, std::nullopt});
    control->setObjectName(u"zoomControl"_s);
    control->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(control);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);
    PlainButton* out = zoomButton(u"minus.magnifyingglass"_s);
    out->setObjectName(u"zoomOut"_s);
    connect(out, &QAbstractButton::clicked, this, &ImagePreviewView::zoomOut);
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setObjectName(u"zoomSlider"_s);
    m_slider->setFixedWidth(100);
    m_slider->setRange(int(minZoom * sliderSteps), int(maxZoom * sliderSteps));
    m_slider->setValue(sliderSteps);
    m_slider->setFocusPolicy(Qt::NoFocus);
    // The theme's round handle, on a white track rather than the accent.
    m_slider->setStyleSheet(u"QSlider::sub-page:horizontal { background: white; }"_s);
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) { setScale(double(value) / sliderSteps); });
    PlainButton* in = zoomButton(u"plus.magnifyingglass"_s);
    in->setObjectName(u"zoomIn"_s);
    connect(in, &QAbstractButton::clicked, this, &ImagePreviewView::zoomIn);
    row->addWidget(out);
    row->addWidget(m_slider);
    row->addWidget(in);
    return control;
}

QWidget* ImagePreviewView::makeInfoBar()
{
    auto* bar = new Panel(RoundedBackground{0, withOpacity(Qt::black, 0.6), Qt::transparent, 0, std::nullopt});
    bar->setObjectName(u"infoBar"_s);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(16, 12, 16, 12);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    m_infoName = makeTextLabel(QString(), TextStyle::headline(), Qt::white);
    m_infoName->setTextFormat(Qt::PlainText);
    m_infoFacts = makeTextLabel(QString(), PremiumTheme::systemFont(11), withOpacity(Qt::white, 0.7));
    column->addWidget(m_infoName);
    column->addWidget(m_infoFacts);
    row->addLayout(column);
    row->addStretch();

    m_sourceBadge =
        new Panel(RoundedBackground{1000, withOpacity(Qt::white, 0.2), withOpacity(Qt::white, 0.3), 1, std::nullopt});
    m_sourceBadge->setObjectName(u"sourceBadge"_s);
    auto* badge = new QHBoxLayout(m_sourceBadge);
    badge->setContentsMargins(12, 6, 12, 6);
    badge->setSpacing(6);
    badge->addWidget(new SymbolLabel(u"app.dashed"_s, 11, Qt::white));
    QFont bold = PremiumTheme::systemFont(11, QFont::Bold);
    m_sourceName = makeTextLabel(QString(), bold, Qt::white);
    m_sourceName->setTextFormat(Qt::PlainText);
    badge->addWidget(m_sourceName);
    row->addWidget(m_sourceBadge);
    return bar;
}

void ImagePreviewView::setScreenshot(const std::optional<Screenshot>& screenshot)
{
    if (!m_media->setScreenshot(screenshot)) {
        // Saving a tag or a note comes back here: nothing reloads.
        m_inspector->setScreenshot(this->screenshot());
        syncInfoBar();
        return;
    }
    showScreenshot();
    changeScale(1.0, false);
}

void ImagePreviewView::setAllScreenshots(QList<Screenshot> screenshots)
{
    m_media->setAllScreenshots(std::move(screenshots));
    syncChrome();
}

// Runs for every screenshot shown; a recording needs no picture, so only its
// placeholder is skipped.
void ImagePreviewView::showScreenshot()
{
    m_pan = QPointF();
    m_inspector->setScreenshot(screenshot());
    m_loading->setVisible(m_media->isLoading());
    m_unreadable->setVisible(m_media->isUnreadable());
    if (CustomVideoPlayer* video = m_media->videoPlayer(); video && m_media->isVideo()) {
        // A click on the recording is not one on the backdrop.
        video->setAttribute(Qt::WA_NoMousePropagation);
    }
    syncInfoBar();
    syncChrome();
    update();
}

void ImagePreviewView::pictureArrived()
{
    m_loading->hide();
    syncPanCursor();
    update();
}

void ImagePreviewView::pictureUnreadable()
{
    m_loading->hide();
    m_unreadable->show();
}

bool ImagePreviewView::isLoading() const
{
    return !m_loading->isHidden();
}

bool ImagePreviewView::isUnreadable() const
{
    return !m_unreadable->isHidden();
}

bool ImagePreviewView::hasPrevious() const
{
    return m_media->previous().has_value();
}

bool ImagePreviewView::hasNext() const
{
    return m_media->next().has_value();
}

void ImagePreviewView::showPrevious()
{
    step(m_media->previous());
}

void ImagePreviewView::showNext()
{
    step(m_media->next());
}

void ImagePreviewView::step(const std::optional<Screenshot>& target)
{
    if (!target)
        return;
    setScreenshot(target);
    if (m_callbacks.onNavigate)
        m_callbacks.onNavigate(*target);
}

void ImagePreviewView::setScale(double scale)
{
    changeScale(scale, false);
}

void ImagePreviewView::zoomIn()
{
    changeScale(std::min(m_scale + zoomStep, maxZoom), true);
}

void ImagePreviewView::zoomOut()
{
    changeScale(std::max(m_scale - zoomStep, minZoom), true);
}

void ImagePreviewView::applyMagnification(double magnification)
{
    changeScale(magnification, false);
}

// The slider follows within its range without writing a rounded value back.
void ImagePreviewView::changeScale(double scale, bool animated)
{
    m_scale = scale;
    {
        const QSignalBlocker quiet(m_slider);
        m_slider->setValue(int(std::lround(scale * sliderSteps)));
    }
    const auto animation = AnimatedChange::defaultAnimation();
    Motion::animate(this, "shownScale", scale, animation.curve, animated ? animation.durationMs : 0);
}

void ImagePreviewView::setShownScale(double scale)
{
    m_shownScale = scale;
    syncPanCursor();
    update();
}

QPointF ImagePreviewView::shownOffset() const
{
    const QSizeF size = picture().rectIn(imageArea(), m_shownScale).size();
    return picture().boundedOffset(imageArea(), m_shownScale,
                                   QPointF(m_pan.x() * size.width(), m_pan.y() * size.height()));
}

void ImagePreviewView::moveTo(QPointF offset)
{
    const QSizeF size = picture().rectIn(imageArea(), m_shownScale).size();
    if (size.isEmpty())
        return;
    const QPointF bounded = picture().boundedOffset(imageArea(), m_shownScale, offset);
    m_pan = QPointF(bounded.x() / size.width(), bounded.y() / size.height());
    update();
}

QRectF ImagePreviewView::pictureRect() const
{
    if (!screenshot() || screenshot()->isVideo())
        return {};
    return picture().rectIn(imageArea(), m_shownScale, shownOffset());
}

// A picture larger than its area can be taken hold of.
void ImagePreviewView::syncPanCursor()
{
    const QPointF limit = picture().offsetLimit(imageArea(), m_shownScale);
    if (m_dragFrom && m_dragged)
        setCursor(Qt::ClosedHandCursor);
    else if (limit.x() > 0 || limit.y() > 0)
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void ImagePreviewView::setInspectorVisible(bool visible)
{
    if (visible == m_isInspectorVisible)
        return;
    m_isInspectorVisible = visible;
    syncInspectorButton();
    syncChrome();
    const auto animation = AnimatedChange::defaultAnimation();
    Motion::animate(this, "inspectorReveal", visible ? 1.0 : 0.0, animation.curve, animation.durationMs);
}

void ImagePreviewView::setInspectorReveal(double reveal)
{
    m_inspectorReveal = reveal;
    m_inspector->setVisible(screenshot() && (m_isInspectorVisible || reveal > 0));
    layoutChildren();
    update();
}

void ImagePreviewView::syncInspectorButton()
{
    const bool visible = m_isInspectorVisible;
    m_inspectorSymbol->setSymbolName(visible ? u"sparkles.rectangle.stack.fill"_s : u"sparkles.rectangle.stack"_s);
    m_inspectorSymbol->setColor(visible ? Qt::white : withOpacity(Qt::white, 0.8));
    m_inspectorToggle->setProperty("symbolName", m_inspectorSymbol->symbolName());
    RoundedBackground background = m_inspectorToggle->background();
    background.fill = visible ? QBrush(PremiumTheme::accent()) : QBrush(withOpacity(Qt::black, 0.3));
    m_inspectorToggle->setBackground(background);
    m_inspectorToggle->setHoverBackground(background);
    // While hidden, the symbol pulses to be found.
    auto* pulse = qobject_cast<QGraphicsOpacityEffect*>(m_inspectorSymbol->graphicsEffect());
    if (!pulse) {
        pulse = new QGraphicsOpacityEffect(m_inspectorSymbol);
        m_inspectorSymbol->setGraphicsEffect(pulse);
    }
    if (visible)
        Motion::animate(pulse, "opacity", 1.0, QEasingCurve::Linear, 0);
    else
        Motion::repeatForever(pulse, "opacity", 1.0, 0.35, QEasingCurve::InOutSine, 1000, true);
}

void ImagePreviewView::syncInfoBar()
{
    if (!screenshot())
        return;
    m_infoName->setText(screenshot()->filename);
    m_infoFacts->setText(DateText::mediumDateAndTime(screenshot()->dateCreated) + u" • "_s +
                         InspectorText::fileSize(screenshot()->fileSize));
    m_sourceBadge->setVisible(screenshot()->sourceApp.has_value());
    m_sourceName->setText(screenshot()->sourceApp.value_or(QString()));
}

// What shows depends on the screenshot, the list and the inspector.
void ImagePreviewView::syncChrome()
{
    m_previous->setVisible(hasPrevious());
    m_next->setVisible(hasNext());
    m_fileButtons->setVisible(screenshot().has_value());
    m_infoBar->setVisible(screenshot() && !m_isInspectorVisible);
    m_inspector->setVisible(screenshot() && (m_isInspectorVisible || m_inspectorReveal > 0));
    layoutChildren();
}

void ImagePreviewView::revealInFileManager()
{
    if (screenshot())
        m_services.desktop.showInFileManager(screenshot()->filePath);
}

QMessageBox* ImagePreviewView::deleteConfirmation() const
{
    return m_deleteConfirmation;
}

void ImagePreviewView::askToDelete()
{
    if (!screenshot() || m_deleteConfirmation)
        return;
    m_deleteConfirmation = Alert::openDeleteScreenshotConfirmation(this, [this] {
        if (!screenshot())
            return;
        // Copies: the caller may let go of this view in either call.
        const Screenshot shown = *screenshot();
        const Callbacks callbacks = m_callbacks;
        callbacks.onDelete(shown);
        callbacks.onClose();
    });
}

QAbstractButton* ImagePreviewView::previousButton() const
{
    return m_previous;
}

QAbstractButton* ImagePreviewView::nextButton() const
{
    return m_next;
}

QAbstractButton* ImagePreviewView::closeButton() const
{
    return m_close;
}

QAbstractButton* ImagePreviewView::revealButton() const
{
    return m_reveal;
}

QAbstractButton* ImagePreviewView::inspectorButton() const
{
    return m_inspectorToggle;
}

QAbstractButton* ImagePreviewView::deleteButton() const
{
    return m_delete;
}

bool ImagePreviewView::event(QEvent* event)
{
    if (const auto magnification = m_pinch.track(event)) {
        applyMagnification(*magnification);
        return true;
    }
    return QWidget::event(event);
}

void ImagePreviewView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        showPrevious(); // handled even when nothing moved
        return;
    case Qt::Key_Right:
        showNext();
        return;
    case Qt::Key_Escape:
        if (m_isInspectorVisible)
            setInspectorVisible(false);
        else
            m_callbacks.onClose();
        return;
    case Qt::Key_I:
        // While the inspector edits, the letter belongs to the text.
        if (event->modifiers() & ~Qt::ShiftModifier || m_isInspectorEditing)
            break;
        setInspectorVisible(!m_isInspectorVisible);
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        askToDelete();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

// With Ctrl held, each notch of the wheel is one step of the zoom buttons;
// otherwise the wheel (Shift for across) moves a zoomed picture.
void ImagePreviewView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (event->modifiers() & Qt::ControlModifier) {
        const int notches = event->angleDelta().y() / 120;
        for (int i = 0; i < std::abs(notches); ++i)
            notches > 0 ? zoomIn() : zoomOut();
        return;
    }
    // A notch of the wheel moves it 60 pixels; touchpads say how far.
    QPointF delta = event->pixelDelta().isNull() ? QPointF(event->angleDelta()) / 2 : QPointF(event->pixelDelta());
    if (event->modifiers() & Qt::ShiftModifier && delta.x() == 0)
        delta = QPointF(delta.y(), 0);
    moveTo(shownOffset() + delta);
}

// A click on the backdrop closes; one on the picture does not, and a press
// on a zoomed picture takes hold of it.
void ImagePreviewView::mousePressEvent(QMouseEvent* event)
{
    const bool onPicture = pictureRect().intersected(imageArea()).contains(event->position());
    const bool left = event->button() == Qt::LeftButton;
    m_pressedOnBackdrop = left && !onPicture;
    m_dragged = false;
    if (left && onPicture)
        m_dragFrom = event->position();
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void ImagePreviewView::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (!m_dragFrom || !(event->buttons() & Qt::LeftButton))
        return;
    const QPointF delta = event->position() - *m_dragFrom;
    if (!m_dragged && delta.manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragged = true;
    m_dragFrom = event->position();
    moveTo(shownOffset() + delta);
    syncPanCursor();
}

void ImagePreviewView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool close = m_pressedOnBackdrop && rect().contains(event->position().toPoint());
    m_pressedOnBackdrop = false;
    m_dragFrom.reset();
    m_dragged = false;
    syncPanCursor();
    event->accept();
    if (close)
        m_callbacks.onClose();
}

QRect ImagePreviewView::imageArea() const
{
    const int panel = screenshot() ? int(std::lround(inspectorWidth * m_inspectorReveal)) : 0;
    const int top = m_topBar ? m_topBar->sizeHint().height() : 0;
    return QRect(0, top, std::max(0, width() - panel), std::max(0, height() - top));
}

void ImagePreviewView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
    syncPanCursor();
}

void ImagePreviewView::layoutChildren()
{
    const QRect area = imageArea();
    const int panel = int(std::lround(inspectorWidth * m_inspectorReveal));
    if (CustomVideoPlayer* video = m_media->videoPlayer())
        video->setGeometry(area);
    m_loading->adjustSize();
    m_loading->move(area.center() - QPoint(m_loading->width() / 2, m_loading->height() / 2));
    m_unreadable->move(area.center() - QPoint(m_unreadable->width() / 2, m_unreadable->height() / 2));
    m_inspector->setGeometry(width() - panel, 0, inspectorWidth, height());
    const int middle = height() / 2;
    m_previous->move(arrowPadding, middle - m_previous->height() / 2);
    m_next->move(width() - arrowPadding - panel - m_next->width(), middle - m_next->height() / 2);
    const int barHeight = m_topBar->sizeHint().height();
    m_topBar->setGeometry(0, 0, width() - panel, barHeight);
    const int infoHeight = m_infoBar->sizeHint().height();
    m_infoBar->setGeometry(0, height() - infoHeight, width(), infoHeight);
    m_inspector->raise();
}

void ImagePreviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), PremiumTheme::background());
    if (!screenshot() || screenshot()->isVideo() || picture().isNull())
        return;
    painter.setClipRect(imageArea());
    picture().paint(painter, imageArea(), m_shownScale, devicePixelRatioF(), shownOffset());
}
