#pragma once

#include "ui/Spring.h"

#include <QByteArray>
#include <QEasingCurve>
#include <QVariant>

class QObject;
class QAbstractAnimation;
class QVariantAnimation;

// Every animated change in the interface goes through here, so one switch
// can make all of them instant (tests, screenshots, reduced motion).
class Motion
{
public:
    Motion() = delete;

    static bool isInstant();
    static void setInstant(bool instant);

    // Moves target's property to `to` along a spring, starting from its
    // current value; an animation of the same property still running is
    // replaced. Returns the running animation, or nullptr when the value was
    // set at once.
    static QVariantAnimation* animate(QObject* target, const QByteArray& property, const QVariant& to,
                                      const Spring& spring);
    static QVariantAnimation* animate(QObject* target, const QByteArray& property, const QVariant& to,
                                      const QEasingCurve& curve, int durationMs);
    // A property swept from `from` to `to` over and over (optionally back and
    // forth) while the target lives. With motion off the property is left at
    // `from` and nothing runs.
    static QAbstractAnimation* repeatForever(QObject* target, const QByteArray& property, const QVariant& from,
                                             const QVariant& to, const QEasingCurve& curve, int durationMs,
                                             bool autoReverse);
};

// Sets Motion::setInstant for the lifetime of a scope.
class InstantMotionScope
{
public:
    explicit InstantMotionScope(bool instant = true);
    ~InstantMotionScope();
    InstantMotionScope(const InstantMotionScope&) = delete;
    InstantMotionScope& operator=(const InstantMotionScope&) = delete;

private:
    bool m_previous;
};
