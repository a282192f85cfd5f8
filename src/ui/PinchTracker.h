#pragma once

#include <optional>

class QEvent;

// Follows a trackpad pinch through Qt's native gesture events. Qt reports
// each step's change; views want the gesture's magnification since it began
// (1.0 at its start), which is what this gives for every zoom step.
class PinchTracker
{
public:
    // The magnification so far when `event` is a zoom step of a pinch;
    // nothing for any other event.
    std::optional<double> track(QEvent* event);

private:
    double m_magnification = 1.0;
};
