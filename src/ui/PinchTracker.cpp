#include "ui/PinchTracker.h"

#include <QNativeGestureEvent>

std::optional<double> PinchTracker::track(QEvent* event)
{
    if (event->type() != QEvent::NativeGesture)
        return std::nullopt;
    auto* gesture = static_cast<QNativeGestureEvent*>(event);
    switch (gesture->gestureType()) {
    case Qt::BeginNativeGesture:
        m_magnification = 1.0;
        return std::nullopt;
    case Qt::ZoomNativeGesture:
        m_magnification *= 1.0 + gesture->value();
        return m_magnification;
    default:
        return std::nullopt;
    }
}
