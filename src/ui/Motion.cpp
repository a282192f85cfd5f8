#include "ui/Motion.h"

#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>

#include <atomic>

namespace {
std::atomic<bool> instantMotion{false};

// One running animation per animated property, named after it, so a new
// target value retargets instead of fighting the old animation.
QByteArray animationName(const QByteArray& property)
{
    return "motion:" + property;
}

void stopRunning(QObject* target, const QByteArray& property)
{
    const QString name = QString::fromLatin1(animationName(property));
    const auto running = target->findChildren<QAbstractAnimation*>(name, Qt::FindDirectChildrenOnly);
    for (QAbstractAnimation* animation : running) {
        animation->stop();
        animation->deleteLater();
        animation->setObjectName(QString());
    }
}

QPropertyAnimation* makeAnimation(QObject* target, const QByteArray& property)
{
    stopRunning(target, property);
    auto* animation = new QPropertyAnimation(target, property, target);
    animation->setObjectName(QString::fromLatin1(animationName(property)));
    return animation;
}
} // namespace

bool Motion::isInstant()
{
    return instantMotion.load();
}

void Motion::setInstant(bool instant)
{
    instantMotion.store(instant);
}

QVariantAnimation* Motion::animate(QObject* target, const QByteArray& property, const QVariant& to,
                                   const Spring& spring)
{
    return animate(target, property, to, spring.easingCurve(), spring.durationMs());
}

QVariantAnimation* Motion::animate(QObject* target, const QByteArray& property, const QVariant& to,
                                   const QEasingCurve& curve, int durationMs)
{
    if (isInstant() || durationMs <= 0) {
        stopRunning(target, property);
        target->setProperty(property.constData(), to);
        return nullptr;
    }
    QPropertyAnimation* animation = makeAnimation(target, property);
    animation->setEndValue(to);
    animation->setEasingCurve(curve);
    animation->setDuration(durationMs);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

QAbstractAnimation* Motion::repeatForever(QObject* target, const QByteArray& property, const QVariant& from,
                                          const QVariant& to, const QEasingCurve& curve, int durationMs,
                                          bool autoReverse)
{
    stopRunning(target, property);
    target->setProperty(property.constData(), from);
    if (isInstant() || durationMs <= 0)
        return nullptr;
    auto* loop = new QSequentialAnimationGroup(target);
    loop->setObjectName(QString::fromLatin1(animationName(property)));
    const auto addLeg = [&](const QVariant& start, const QVariant& end) {
        auto* leg = new QPropertyAnimation(target, property, loop);
        leg->setStartValue(start);
        leg->setEndValue(end);
        leg->setEasingCurve(curve);
        leg->setDuration(durationMs);
        loop->addAnimation(leg);
    };
    addLeg(from, to);
    if (autoReverse)
        addLeg(to, from);
    loop->setLoopCount(-1);
    loop->start(QAbstractAnimation::DeleteWhenStopped);
    return loop;
}

InstantMotionScope::InstantMotionScope(bool instant)
    : m_previous(Motion::isInstant())
{
    Motion::setInstant(instant);
}

InstantMotionScope::~InstantMotionScope()
{
    Motion::setInstant(m_previous);
}
