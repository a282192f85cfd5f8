#include "ui/ShadowUnderlay.h"

#include "ui/SoftShadow.h"

#include <QEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
// Ties the shadow's life to its widget's: the shadow lives in another
// parent, and goes when the widget does.
class ShadowLink : public QObject
{
public:
    ShadowLink(QWidget& target, ShadowUnderlay* underlay)
        : QObject(&target)
        , m_underlay(underlay)
    {
        setObjectName(u"shadowUnderlayLink"_s);
    }
    ~ShadowLink() override { delete m_underlay.data(); }

    ShadowUnderlay* underlay() const { return m_underlay; }

private:
    QPointer<ShadowUnderlay> m_underlay;
};

ShadowLink* linkOf(const QWidget& target)
{
    for (QObject* child : target.children())
        if (auto* link = dynamic_cast<ShadowLink*>(child))
            return link;
    return nullptr;
}

bool movesTheShadow(QEvent::Type type)
{
    switch (type) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ParentChange:
        return true;
    default:
        return false;
    }
}
} // namespace

void ShadowUnderlay::cast(QWidget& target, const RoundedBackground& background)
{
    ShadowLink* link = linkOf(target);
    if (!background.shadow) {
        delete link;
        return;
    }
    if (link && link->underlay()) {
        link->underlay()->setBackground(background);
        return;
    }
    delete link;
    new ShadowLink(target, new ShadowUnderlay(target, background));
}

ShadowUnderlay* ShadowUnderlay::of(const QWidget& target)
{
    const ShadowLink* link = linkOf(target);
    return link ? link->underlay() : nullptr;
}

ShadowUnderlay::ShadowUnderlay(QWidget& target, const RoundedBackground& background)
    : m_target(&target)
    , m_background(background)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    target.installEventFilter(this);
    schedulePlace();
}

void ShadowUnderlay::setBackground(const RoundedBackground& background)
{
    m_background = background;
    schedulePlace();
}

QRect ShadowUnderlay::extentInTarget() const
{
    const RoundedBackground::Shadow& shadow = *m_background.shadow;
    const qreal reach = SoftShadow::reach(shadow.radius);
    return QRectF(m_target->rect()).translated(shadow.offset).adjusted(-reach, -reach, reach, reach).toAlignedRect();
}

QWidget* ShadowUnderlay::findHost() const
{
    const QRect extent = extentInTarget();
    for (QWidget* ancestor = m_target->parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        const QRect there(m_target->mapTo(ancestor, extent.topLeft()), extent.size());
        if (ancestor->rect().contains(there) || ancestor->isWindow())
            return ancestor;
    }
    return nullptr;
}

void ShadowUnderlay::schedulePlace()
{
    if (m_placeQueued)
        return;
    m_placeQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_placeQueued = false;
            place();
        },
        Qt::QueuedConnection);
}

void ShadowUnderlay::place()
{
    QWidget* host = m_target ? findHost() : nullptr;
    if (!host) {
        hide();
        return;
    }
    if (parentWidget() != host)
        setParent(host);
    watchAncestors(host);

    const QRect extent = extentInTarget();
    setGeometry(QRect(m_target->mapTo(host, extent.topLeft()), extent.size()));
    // Beneath the branch that holds the target, above everything under it.
    QWidget* branch = m_target;
    while (branch->parentWidget() != host)
        branch = branch->parentWidget();
    stackUnder(branch);
    setVisible(m_target->isVisibleTo(host));
    update();
}

void ShadowUnderlay::watchAncestors(QWidget* host)
{
    for (const QPointer<QWidget>& watched : std::as_const(m_watched))
        if (watched && watched != m_target)
            watched->removeEventFilter(this);
    m_watched.clear();
    for (QWidget* ancestor = m_target->parentWidget(); ancestor && ancestor != host;
         ancestor = ancestor->parentWidget()) {
        ancestor->installEventFilter(this);
        m_watched.append(ancestor);
    }
}

bool ShadowUnderlay::eventFilter(QObject* watched, QEvent* event)
{
    if (movesTheShadow(event->type()))
        schedulePlace();
    return QWidget::eventFilter(watched, event);
}

QRectF ShadowUnderlay::shapeRect() const
{
    if (!m_target || !parentWidget())
        return {};
    return QRectF(m_target->rect()).translated(m_target->mapTo(parentWidget(), QPoint()) - pos());
}

void ShadowUnderlay::paintEvent(QPaintEvent*)
{
    if (!m_target || !m_background.shadow)
        return;
    QPainter painter(this);
    const RoundedBackground::Shadow& shadow = *m_background.shadow;
    const QRectF shape = shapeRect();
    if (m_background.shape == RoundedBackground::Shape::ellipse)
        SoftShadow::paintEllipse(painter, shape, shadow.color, shadow.radius, shadow.offset);
    else
        SoftShadow::paintRoundedRect(painter, shape, m_background.cornerRadius, shadow.color, shadow.radius,
                                     shadow.offset);
}
