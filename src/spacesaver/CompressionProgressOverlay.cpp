#include "spacesaver/CompressionProgressOverlay.h"

#include "spacesaver/SpaceSaverGradient.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/ToolProgressCard.h"

using namespace Qt::StringLiterals;

namespace {
void progressContent(CenteredOverlay& stack, const SpaceSaverViewModel& viewModel)
{
    const auto [current, total] = viewModel.compressionProgress();
    addToolProgressCard(stack,
                        {{withOpacity(PremiumTheme::success(), 0.2), successToInfo({0, 0}, {1, 1}),
                          u"arrow.down.circle.fill"_s, PremiumTheme::success(), 40},
                         u"Compressing Screenshots"_s,
                         u"Do not close this window"_s},
                        current, total);
}
} // namespace

CompressionProgressOverlay::CompressionProgressOverlay(QWidget& window, SpaceSaverViewModel& viewModel)
    : CenteredOverlay(window, [&viewModel](CenteredOverlay& stack) { progressContent(stack, viewModel); })
{
    rebuildOn(&viewModel, &SpaceSaverViewModel::changed);
}

double CompressionProgressOverlay::fraction(int current, int total)
{
    return ToolProgressCard::fraction(current, total);
}
