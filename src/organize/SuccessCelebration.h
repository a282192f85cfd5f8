#pragma once

#include "ui/CenteredOverlay.h"

class ReOrganizerViewModel;

// Covers the window after a run without failures, until "Done".
class SuccessCelebration : public CenteredOverlay
{
    Q_OBJECT

public:
    SuccessCelebration(QWidget& window, ReOrganizerViewModel& viewModel);
};
