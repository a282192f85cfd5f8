#pragma once

#include "ui/ProgressRing.h"

#include <QString>

class CenteredOverlay;

// The body of a tool's progress overlay, over a dimmed backdrop: a ring of
// the share done, a heading, "%1 of %2 files", a bar 300 wide and a warning
// in small type.
struct ToolProgressCard
{
    ProgressRing::Style ring;
    QString title;
    QString warning;

    // Files done over the total, 0 for an empty total.
    static double fraction(int current, int total);
};
void addToolProgressCard(CenteredOverlay& stack, const ToolProgressCard& card, int current, int total);
