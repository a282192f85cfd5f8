#include "spacesaver/CompressionProgressOverlay.h"

#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/DimmedBackdrop.h"
#include "ui/LinearProgressBar.h"
#include "ui/PremiumTheme.h"
#include "ui/ProgressRing.h"
#include "ui/RoundedPanel.h"
#include "ui/TextLabel.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
QLinearGradient successToInfo()
{
    QLinearGradient gradient(0, 0, 1, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, PremiumTheme::success());
    gradient.setColorAt(1, PremiumTheme::info());
    return gradient;
}

void progressContent(CenteredOverlay& stack, const SpaceSaverViewModel& viewModel)
{
    const auto [current, total] = viewModel.compressionProgress();
    stack.addLayer(new DimmedBackdrop);
    auto* panel = new RoundedPanel(RoundedBackground::overlayPanel(), 40);
    QBoxLayout* column = panel->contentLayout();
    column->setSpacing(24);
    auto* ring = new ProgressRing({withOpacity(PremiumTheme::success(), 0.2), successToInfo(),
                                   u"arrow.down.circle.fill"_s, PremiumTheme::success(), 40});
    ring->setFraction(CompressionProgressOverlay::fraction(current, total));
    column->addWidget(ring, 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(12);
    texts->addWidget(
        makeTextLabel(u"Compressing Screenshots"_s, PremiumTheme::headingFont(), PremiumTheme::textPrimary()), 0,
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
        makeTextLabel(u"Do not close this window"_s, PremiumTheme::smallLabelFont(), PremiumTheme::warning()), 0,
        Qt::AlignHCenter);
    stack.addLayer(panel);
}
} // namespace

CompressionProgressOverlay::CompressionProgressOverlay(QWidget& window, SpaceSaverViewModel& viewModel)
    : CenteredOverlay(window, [&viewModel](CenteredOverlay& stack) { progressContent(stack, viewModel); })
{
    rebuildOn(&viewModel, &SpaceSaverViewModel::changed);
}

double CompressionProgressOverlay::fraction(int current, int total)
{
    return double(current) / double(total > 1 ? total : 1);
}
