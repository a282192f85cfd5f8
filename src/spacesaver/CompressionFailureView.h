#pragma once

#include "ui/CenteredOverlay.h"

class SpaceSaverViewModel;

// Covers the window after a run was undone: which file stopped it and why,
// the assurance that every file is as it was, and "OK". The plan stays, so
// the run can be tried again.
class CompressionFailureView : public CenteredOverlay
{
    Q_OBJECT

public:
    CompressionFailureView(QWidget& window, SpaceSaverViewModel& viewModel);
};
