#pragma once

#include "ui/CenteredOverlay.h"

class SpaceSaverViewModel;

// Covers the window while a run compresses: a ring and a bar of the files
// handled, "%1 of %2 files", and a request to keep the window open.
class CompressionProgressOverlay : public CenteredOverlay
{
    Q_OBJECT

public:
    CompressionProgressOverlay(QWidget& window, SpaceSaverViewModel& viewModel);

    // Files handled over the total; a total of 0 or 1 counts as 1.
    static double fraction(int current, int total);
};
