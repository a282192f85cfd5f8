#include "organize/ProgressOverlay.h"

#include "organize/ReOrganizerViewModel.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/ToolProgressCard.h"

using namespace Qt::StringLiterals;

namespace {
void progressContent(CenteredOverlay& stack, const ReOrganizerViewModel& viewModel)
{
    const auto [current, total] = viewModel.organizationProgress();
    addToolProgressCard(stack,
                        {{withOpacity(PremiumTheme::primary(), 0.2), PremiumTheme::primaryGradient(),
                          u"folder.badge.gearshape"_s, PremiumTheme::primaryGradient(), 40},
                         u"Organizing Screenshots"_s,
                         u"Please don't close this window"_s},
                        current, total);
}
} // namespace

ProgressOverlay::ProgressOverlay(QWidget& window, ReOrganizerViewModel& viewModel)
    : CenteredOverlay(window, [&viewModel](CenteredOverlay& stack) { progressContent(stack, viewModel); })
{
    rebuildOn(&viewModel, &ReOrganizerViewModel::changed);
}

double ProgressOverlay::fraction(int current, int total)
{
    return ToolProgressCard::fraction(current, total);
}
