#include "spacesaver/SpaceSaverHeader.h"

#include "ui/GlassDisc.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/ShadowUnderlay.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
// The glass disc with a green glow behind it.
QWidget* badge()
{
    auto* disc = new GlassDisc(u"arrow.down.circle.fill"_s, PremiumTheme::success(), 28);
    // The glow spills past the header row, which would clip an effect.
    RoundedBackground glow = RoundedBackground::circle(Qt::NoBrush);
    glow.shadow = RoundedBackground::Shadow{withOpacity(PremiumTheme::success(), 0.3), 20, {}};
    ShadowUnderlay::cast(*disc, glow);
    return disc;
}
} // namespace

SpaceSaverHeader::SpaceSaverHeader(QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    row->addWidget(badge());
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(makeTextLabel(u"Space Saver"_s, PremiumTheme::titleFont(), PremiumTheme::textPrimary()));
    titles->addWidget(makeTextLabel(u"Compress screenshots with near-lossless quality"_s, PremiumTheme::bodyFont(),
                                    PremiumTheme::textSecondary()));
    row->addLayout(titles);
    row->addStretch();
}
