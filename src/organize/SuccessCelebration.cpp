#include "organize/SuccessCelebration.h"

#include "organize/ReOrganizerViewModel.h"
#include "ui/DimmedBackdrop.h"
#include "ui/GlowEffect.h"
#include "ui/LabelContent.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedPanel.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
QWidget* badge()
{
    auto* box = new QWidget;
    box->setFixedSize(120, 120);
    auto* centre = new QVBoxLayout(box);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(new StyledSymbol(u"checkmark.circle.fill"_s, PremiumTheme::success(), 80), 0, Qt::AlignCenter);
    box->setGraphicsEffect(new GlowEffect(withOpacity(PremiumTheme::success(), 0.2), 120, 30));
    return box;
}

void successContent(CenteredOverlay& stack, ReOrganizerViewModel& viewModel)
{
    stack.addLayer(new DimmedBackdrop);
    auto* panel = new RoundedPanel(RoundedBackground::overlayPanel(), 48);
    QBoxLayout* column = panel->contentLayout();
    column->setSpacing(32);
    column->addWidget(badge(), 0, Qt::AlignHCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(12);
    texts->addWidget(makeTextLabel(u"Organization Complete!"_s, PremiumTheme::titleFont(), PremiumTheme::textPrimary()),
                     0, Qt::AlignHCenter);
    if (const auto& plan = viewModel.plan())
        texts->addWidget(makeTextLabel(u"%1 files organized successfully"_s.arg(plan->totalFiles),
                                       PremiumTheme::bodyLargeFont(), PremiumTheme::textSecondary()),
                         0, Qt::AlignHCenter);
    column->addLayout(texts);
    auto* done = new PlainButton(RoundedBackground::glass(12), QMargins(32, 16, 32, 16));
    done->contentLayout()->addWidget(inheritingLabel(u"Done"_s));
    done->setTextStyle(PremiumTheme::buttonFont(), PremiumTheme::textPrimary());
    done->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    done->setObjectName(u"done"_s);
    QObject::connect(done, &QAbstractButton::clicked, &viewModel, &ReOrganizerViewModel::dismissSuccess);
    column->addWidget(done, 0, Qt::AlignHCenter);
    stack.addLayer(panel);
}
} // namespace

SuccessCelebration::SuccessCelebration(QWidget& window, ReOrganizerViewModel& viewModel)
    : CenteredOverlay(window, [&viewModel](CenteredOverlay& stack) { successContent(stack, viewModel); })
{
    rebuildOn(&viewModel, &ReOrganizerViewModel::changed);
}
