#pragma once

#include "ui/CenteredOverlay.h"

class SpaceSaverViewModel;

// Covers the window after a run was undone: which file stopped it and why,
// the assurance that every file is as it was (or, when the undoing could not
// finish, which images were kept beside their HEIC versions, under a title
// that says so), and "OK". The plan stays, so the run can be tried again.
class CompressionFailureView : public CenteredOverlay
{
    Q_OBJECT

public:
    CompressionFailureView(QWidget& window, SpaceSaverViewModel& viewModel);
};
