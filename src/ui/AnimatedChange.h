#pragma once

#include <QEasingCurve>

#include <optional>

// Marks the state changes made while it lives as animated ones, the way a
// screen hands its animation on to whoever follows the state it writes: the
// root view fades between screens only for a change made inside one of these.
// Scopes nest (the innermost holds); each thread has its own.
class AnimatedChange
{
public:
    struct Animation
    {
        QEasingCurve curve;
        int durationMs = 0;
    };

    // The interface's unspecified "default animation".
    static Animation defaultAnimation();

    explicit AnimatedChange(const Animation& animation = defaultAnimation());
    AnimatedChange(QEasingCurve::Type curve, int durationMs);
    ~AnimatedChange();
    AnimatedChange(const AnimatedChange&) = delete;
    AnimatedChange& operator=(const AnimatedChange&) = delete;

    // The animation of the innermost live scope on this thread, if any.
    static std::optional<Animation> current();

private:
    Animation m_animation;
    AnimatedChange* m_outer;
};
