#include "organize/ProgressOverlay.h"

#include "organize/ReOrganizerViewModel.h"
#include "ui/DimmedBackdrop.h"
#include "ui/LinearProgressBar.h"
#include "ui/PremiumTheme.h"
#include "ui/ProgressRing.h"
#include "ui/RoundedPanel.h"
#include "ui/TextLabel.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
void progressContent(CenteredOverlay& stack, const ReOrganizerViewModel& viewModel)
{
    const auto [current, total] = viewModel.organizationProgress();
    stack.addLayer(new DimmedBackdrop);
    auto* panel = new RoundedPanel(RoundedBackground::overlayPanel(), 40);
    QBoxLayout* column = panel->contentLayout();
    column->setSpacing(24);
    auto* ring = new ProgressRing({withOpacity(PremiumTheme::primary(), 0.2), PremiumTheme::primaryGradient(),
                                   u"folder.badge.gearshape"_s, PremiumTheme::primaryGradient(), 40});
    ring->setFraction(ProgressOverlay::fraction(current, total));
    column->addWidget(ring, 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(12);
    texts->addWidget(
        makeTextLabel(u"Organizing Screenshots"_s, PremiumTheme::headingFont(), PremiumTheme::textPrimary()), 0,
        Qt::AlignHCenter);
    texts->addWidget(makeTextLabel(u"%1 of %2 files"_s.arg(current).arg(total), PremiumTheme::bodyFont(),
                                   PremiumTheme::textSecondary()),
                     0, Qt::AlignHCenter);
    auto* bar = new LinearProgressBar;
    bar->setFixedWidth(300);
    bar->setProgress(current, total);
    texts->addWidget(bar, 0, Qt::AlignHCenter);
    column->addLayout(texts);
    column->addWidget(
        makeTextLabel(u"Please don't close this window"_s, PremiumTheme::smallLabelFont(), PremiumTheme::warning()), 0,
        Qt::AlignHCenter);
    stack.addLayer(panel);
}
} // namespace

ProgressOverlay::ProgressOverlay(QWidget& window, ReOrganizerViewModel& viewModel)
    : CenteredOverlay(window, [&viewModel](CenteredOverlay& stack) { progressContent(stack, viewModel); })
{
    rebuildOn(&viewModel, &ReOrganizerViewModel::changed);
}

double ProgressOverlay::fraction(int current, int total)
{
    return double(current) / double(std::max(total, 1));
}
