#pragma once

#include "ui/CenteredOverlay.h"

class SpaceSaverViewModel;

// Covers the window after a run succeeded: a glowing check mark, "Compression
// Complete!", what the run saved, and "Done".
class CompressionSuccessView : public CenteredOverlay
{
    Q_OBJECT

public:
    CompressionSuccessView(QWidget& window, SpaceSaverViewModel& viewModel);
};
