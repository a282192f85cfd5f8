#include "ui/ToolProgressCard.h"

#include "ui/CenteredOverlay.h"
#include "ui/DimmedBackdrop.h"
#include "ui/LinearProgressBar.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedPanel.h"
#include "ui/TextLabel.h"

#include <QLabel>

#include <algorithm>

using namespace Qt::StringLiterals;

double ToolProgressCard::fraction(int current, int total)
{
    return double(current) / double(std::max(total, 1));
}

void addToolProgressCard(CenteredOverlay& stack, const ToolProgressCard& card, int current, int total)
{
    stack.addLayer(new DimmedBackdrop);
    auto* panel = new RoundedPanel(RoundedBackground::overlayPanel(), 40);
    QBoxLayout* column = panel->contentLayout();
    column->setSpacing(24);
    auto* ring = new ProgressRing(card.ring);
    ring->setFraction(ToolProgressCard::fraction(current, total));
    column->addWidget(ring, 0, Qt::AlignHCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(12);
    texts->addWidget(makeTextLabel(card.title, PremiumTheme::headingFont(), PremiumTheme::textPrimary()), 0,
                     Qt::AlignHCenter);
    texts->addWidget(makeTextLabel(u"%1 of %2 files"_s.arg(current).arg(total), PremiumTheme::bodyFont(),
                                   PremiumTheme::textSecondary()),
                     0, Qt::AlignHCenter);
    auto* bar = new LinearProgressBar;
    bar->setFixedWidth(300);
    bar->setProgress(current, total);
    texts->addWidget(bar, 0, Qt::AlignHCenter);
    column->addLayout(texts);
    column->addWidget(makeTextLabel(card.warning, PremiumTheme::smallLabelFont(), PremiumTheme::warning()), 0,
                      Qt::AlignHCenter);
    stack.addLayer(panel);
}
