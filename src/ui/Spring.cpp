#include "ui/Spring.h"

#include <QMutex>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <numbers>
#include <utility>

namespace {
constexpr double settleTolerance = 1e-3;

// A spring that never loses energy would never settle; the weakest damping
// we honour keeps durations finite.
double effectiveDamping(double dampingFraction)
{
    return std::max(dampingFraction, 0.05);
}

double effectiveResponse(double response)
{
    return std::max(response, 0.001);
}
} // namespace

double Spring::displacement(double t) const
{
    if (t <= 0)
        return 0;
    const double omega = 2 * std::numbers::pi / effectiveResponse(response);
    const double zeta = effectiveDamping(dampingFraction);
    if (zeta < 1) {
        const double omegaD = omega * std::sqrt(1 - zeta * zeta);
        const double envelope = std::exp(-zeta * omega * t);
        return 1 - envelope * (std::cos(omegaD * t) + zeta * omega / omegaD * std::sin(omegaD * t));
    }
    if (zeta == 1)
        return 1 - std::exp(-omega * t) * (1 + omega * t);
    const double root = std::sqrt(zeta * zeta - 1);
    const double r1 = -omega * (zeta - root);
    const double r2 = -omega * (zeta + root);
    return 1 - (r2 * std::exp(r1 * t) - r1 * std::exp(r2 * t)) / (r2 - r1);
}

double Spring::settlingSeconds() const
{
    const double omega = 2 * std::numbers::pi / effectiveResponse(response);
    const double zeta = effectiveDamping(dampingFraction);
    if (zeta < 1) {
        // The oscillation's amplitude is bounded by its decaying envelope.
        const double amplitude = 1 / std::sqrt(1 - zeta * zeta);
        return std::log(amplitude / settleTolerance) / (zeta * omega);
    }
    // Without overshoot the approach is monotonic: walk until close enough.
    const double step = effectiveResponse(response) / 200;
    double t = 0;
    while (1 - displacement(t) > settleTolerance)
        t += step;
    return t;
}

int Spring::durationMs() const
{
    return std::max(1, int(std::lround(settlingSeconds() * 1000)));
}

namespace {
// QEasingCurve takes a plain function pointer for a custom curve, so each
// distinct spring gets a slot of its own and a function instantiated for that
// slot. (Qt 6.4's BezierSpline curves write past their buffers, so sampling
// into a spline is not an option.) Apps use a handful of springs.
constexpr int springSlotCount = 64;

struct SpringSlot
{
    Spring spring;
    double totalSeconds = 0;
};

std::array<SpringSlot, springSlotCount> springSlots;
std::atomic<int> usedSpringSlots{0};
QMutex springSlotMutex;

template <int Slot>
qreal springCurve(qreal progress)
{
    if (progress >= 1)
        return 1;
    const SpringSlot& slot = springSlots[Slot];
    return slot.spring.displacement(progress * slot.totalSeconds);
}

template <int... Slots>
constexpr std::array<QEasingCurve::EasingFunction, sizeof...(Slots)>
makeCurveTable(std::integer_sequence<int, Slots...>)
{
    return {&springCurve<Slots>...};
}

constexpr auto springCurveFunctions = makeCurveTable(std::make_integer_sequence<int, springSlotCount>{});

int slotFor(const Spring& spring)
{
    QMutexLocker lock(&springSlotMutex);
    const int used = usedSpringSlots.load();
    for (int i = 0; i < used; ++i)
        if (springSlots[i].spring == spring)
            return i;
    if (used == springSlotCount)
        return -1;
    springSlots[used] = {spring, spring.durationMs() / 1000.0};
    usedSpringSlots.store(used + 1);
    return used;
}
} // namespace

QEasingCurve Spring::easingCurve() const
{
    const int slot = slotFor(*this);
    if (slot < 0)
        return QEasingCurve(dampingFraction < 1 ? QEasingCurve::OutBack : QEasingCurve::OutCubic);
    QEasingCurve curve;
    curve.setCustomType(springCurveFunctions[slot]);
    return curve;
}
