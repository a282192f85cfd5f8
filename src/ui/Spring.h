#pragma once

#include <QEasingCurve>

// A damped spring described the way designers tune it: `response` is the
// period of the undamped oscillation in seconds, `dampingFraction` 1 is
// critically damped, below 1 overshoots. `blendDuration` is kept for callers
// that hand a spring on; Qt animations restart from the current value anyway.
struct Spring
{
    double response = 0.3;
    double dampingFraction = 0.7;
    double blendDuration = 0.0;

    // Position at time t seconds of a spring released at 0 towards 1.
    double displacement(double seconds) const;
    // Time after which the spring stays within 0.1 % of its target.
    double settlingSeconds() const;
    int durationMs() const;
    // The motion over durationMs() as an easing curve that starts at exactly
    // 0 and ends at exactly 1.
    QEasingCurve easingCurve() const;

    bool operator==(const Spring&) const = default;
};
