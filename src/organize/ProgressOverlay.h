#pragma once

#include "ui/CenteredOverlay.h"

class ReOrganizerViewModel;

// Covers the window while a run moves files: a ring and a bar of the files
// done, "%1 of %2 files", and a request to keep the window open.
class ProgressOverlay : public CenteredOverlay
{
    Q_OBJECT

public:
    ProgressOverlay(QWidget& window, ReOrganizerViewModel& viewModel);

    // Files done over the total, 0 for an empty total.
    static double fraction(int current, int total);
};
