#include "spacesaver/CompressionFailureView.h"

#include "spacesaver/OverlayParts.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/PremiumTheme.h"

using namespace Qt::StringLiterals;

CompressionFailureView::CompressionFailureView(QWidget& window, SpaceSaverViewModel& viewModel)
    : CenteredOverlay(window, [&viewModel](CenteredOverlay& stack) {
        OverlayParts::resultCard(stack,
                                 {u"exclamationmark.triangle.fill"_s, PremiumTheme::error(), viewModel.failureTitle(),
                                  viewModel.failureMessage().value_or(QString()), PremiumTheme::textSecondary(),
                                  u"OK"_s, viewModel.failureOutcome()},
                                 [&viewModel] { viewModel.dismissFailure(); });
    })
{
    rebuildOn(&viewModel, &SpaceSaverViewModel::changed);
}
