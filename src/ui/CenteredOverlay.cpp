#include "ui/CenteredOverlay.h"

#include <QEvent>
#include <QGridLayout>

CenteredOverlay::CenteredOverlay(QWidget& window, Builder build)
    : QWidget(&window)
    , m_window(window)
    , m_build(std::move(build))
    , m_stack(new QGridLayout(this))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(0);
    setGeometry(window.rect());
    window.installEventFilter(this);
    rebuild();
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
    if (watched == &m_window && event->type() == QEvent::Resize)
        setGeometry(m_window.rect());
    return QWidget::eventFilter(watched, event);
}

void CenteredOverlay::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    raise();
    rebuildIfPending();
}
