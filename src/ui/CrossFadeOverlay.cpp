#include "ui/CrossFadeOverlay.h"

#include "ui/Motion.h"

#include <QEvent>
#include <QPainter>
#include <QVariantAnimation>

void CrossFadeOverlay::fadeOut(QWidget* parent, const QPixmap& picture, const QEasingCurve& curve, int durationMs)
{
    auto* overlay = new CrossFadeOverlay(parent, picture);
    QVariantAnimation* fade = Motion::animate(overlay, "opacity", 0.0, curve, durationMs);
    if (!fade) {
        delete overlay;
        return;
    }
    connect(fade, &QAbstractAnimation::finished, overlay, &QObject::deleteLater);
}

void CrossFadeOverlay::endAll(QWidget& parent)
{
    for (CrossFadeOverlay* overlay : parent.findChildren<CrossFadeOverlay*>(Qt::FindDirectChildrenOnly))
        delete overlay; // its fade goes with it
}

CrossFadeOverlay::CrossFadeOverlay(QWidget* parent, const QPixmap& picture)
    : QWidget(parent)
    , m_picture(picture)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setGeometry(parent->rect());
    parent->installEventFilter(this);
    raise();
    show();
}

void CrossFadeOverlay::setOpacity(qreal opacity)
{
    m_opacity = opacity;
    update();
}

void CrossFadeOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setOpacity(m_opacity);
    painter.drawPixmap(rect(), m_picture);
}

bool CrossFadeOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}
