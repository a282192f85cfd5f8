#include "ui/AnimatedChange.h"

namespace {
thread_local AnimatedChange* innermost = nullptr;
}

AnimatedChange::Animation AnimatedChange::defaultAnimation()
{
    return {QEasingCurve(QEasingCurve::InOutQuad), 350};
}

AnimatedChange::AnimatedChange(const Animation& animation)
    : m_animation(animation)
    , m_outer(innermost)
{
    innermost = this;
}

AnimatedChange::AnimatedChange(QEasingCurve::Type curve, int durationMs)
    : AnimatedChange(Animation{QEasingCurve(curve), durationMs})
{}

AnimatedChange::~AnimatedChange()
{
    innermost = m_outer;
}

std::optional<AnimatedChange::Animation> AnimatedChange::current()
{
    if (!innermost)
        return std::nullopt;
    return innermost->m_animation;
}
