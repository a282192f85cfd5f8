#pragma once

#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/CenteredOverlay.h"

// Covers the window after a run succeeded: a glowing check mark, "Compression
// Complete!", what the run saved, how many files it left as they were and
// why, and "Done".
class CompressionSuccessView : public CenteredOverlay
{
    Q_OBJECT

public:
    CompressionSuccessView(QWidget& window, SpaceSaverViewModel& viewModel);

    // "Compressed 98 of 178 files. 80 skipped: not smaller as HEIC at this
    // quality."; empty when the run left nothing out.
    static QString note(const SpaceSaverViewModel::RunSummary& run);
};
