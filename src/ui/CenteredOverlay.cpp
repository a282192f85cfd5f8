#include "ui/CenteredOverlay.h"

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>

namespace {
// The overlay may live in the window rather than in its screen; it still
// goes when the screen does.
class OverlayLink : public QObject
{
public:
    OverlayLink(QWidget& anchor, QWidget* overlay)
        : QObject(&anchor)
        , m_overlay(overlay)
    {}
    ~OverlayLink() override { delete m_overlay.data(); }

private:
    QPointer<QWidget> m_overlay;
};
} // namespace

CenteredOverlay::CenteredOverlay(QWidget& anchor, Builder build)
    : QWidget(&anchor)
    , m_anchor(anchor)
    , m_build(std::move(build))
    , m_stack(new QGridLayout(this))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(0);
    new OverlayLink(anchor, this);
    anchor.installEventFilter(this);
    coverWindow(*anchor.window());
    rebuild();
}

void CenteredOverlay::setVisible(bool visible)
{
    if (m_following) {
        QWidget::setVisible(visible);
        return;
    }
    m_wanted = visible;
    follow();
}

void CenteredOverlay::follow()
{
    m_following = true;
    if (m_wanted && m_anchor.isVisible()) {
        QWidget& window = *m_anchor.window();
        if (parentWidget() != &window)
            setParent(&window);
        coverWindow(window);
        QWidget::setVisible(true);
        raise();
        setFocus(Qt::OtherFocusReason);
    } else {
        QWidget::setVisible(false);
    }
    m_following = false;
}

void CenteredOverlay::coverWindow(QWidget& window)
{
    if (m_window != &window) {
        if (m_window && m_window != &m_anchor)
            m_window->removeEventFilter(this);
        m_window = &window;
        if (&window != &m_anchor)
            window.installEventFilter(this);
    }
    setGeometry(window.rect());
}

void CenteredOverlay::addLayer(QWidget* layer)
{
    const QSizePolicy policy = layer->sizePolicy();
    const bool fills =
        (policy.horizontalPolicy() & QSizePolicy::ExpandFlag) && (policy.verticalPolicy() & QSizePolicy::ExpandFlag);
    m_stack->addWidget(layer, 0, 0, fills ? Qt::Alignment() : Qt::AlignCenter);
    layer->raise();
    m_layers.append(layer);
}

QList<QWidget*> CenteredOverlay::layers() const
{
    QList<QWidget*> result;
    for (const QPointer<QWidget>& layer : m_layers)
        if (layer)
            result.append(layer);
    return result;
}

void CenteredOverlay::scheduleRebuild()
{
    m_rebuildPending = true;
    if (!isVisible() || m_rebuildQueued)
        return;
    m_rebuildQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_rebuildQueued = false;
            rebuildIfPending();
        },
        Qt::QueuedConnection);
}

void CenteredOverlay::rebuildIfPending()
{
    if (m_rebuildPending && isVisible())
        rebuild();
}

void CenteredOverlay::rebuild()
{
    m_rebuildPending = false;
    // The old layers may hold the button whose click caused this rebuild, so
    // they leave at the next turn of the event loop rather than now.
    for (const QPointer<QWidget>& layer : std::as_const(m_layers)) {
        if (!layer)
            continue;
        m_stack->removeWidget(layer);
        layer->hide();
        layer->deleteLater();
    }
    m_layers.clear();
    m_build(*this);
    ++m_buildCount;
}

bool CenteredOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_anchor && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        follow();
    if (watched == m_window && event->type() == QEvent::Resize)
        setGeometry(m_window->rect());
    return QWidget::eventFilter(watched, event);
}

void CenteredOverlay::keyPressEvent(QKeyEvent* event)
{
    // Nothing behind the overlay may be worked from the keyboard either.
    event->accept();
}

bool CenteredOverlay::focusNextPrevChild(bool next)
{
    // Tab goes round the overlay's own controls and never leaves it.
    QWidget* start = focusWidget() && isAncestorOf(focusWidget()) ? focusWidget() : this;
    for (QWidget* candidate = next ? start->nextInFocusChain() : start->previousInFocusChain(); candidate != start;
         candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain()) {
        if (isAncestorOf(candidate) && candidate->isVisible() && candidate->isEnabled() &&
            (candidate->focusPolicy() & Qt::TabFocus)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    setFocus(Qt::OtherFocusReason);
    return true;
}

void CenteredOverlay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    raise();
    rebuildIfPending();
}
