#include "spacesaver/SpaceSaverHeader.h"

#include "ui/GlowEffect.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
// A glass disc with a green glow behind it, holding the symbol.
class Badge : public QWidget
{
public:
    static constexpr int diameter = 64;

    Badge()
    {
        setFixedSize(diameter, diameter);
        auto* centre = new QVBoxLayout(this);
        centre->setContentsMargins(0, 0, 0, 0);
        centre->addWidget(new StyledSymbol(u"arrow.down.circle.fill"_s, PremiumTheme::success(), 28), 0,
                          Qt::AlignCenter);
        setGraphicsEffect(new GlowEffect(withOpacity(PremiumTheme::success(), 0.3), diameter, 20));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(PremiumTheme::glassFill());
        painter.setPen(QPen(PremiumTheme::glassBorder(), 1));
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
};
} // namespace

SpaceSaverHeader::SpaceSaverHeader(QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    row->addWidget(new Badge);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(makeTextLabel(u"Space Saver"_s, PremiumTheme::titleFont(), PremiumTheme::textPrimary()));
    titles->addWidget(makeTextLabel(u"Compress screenshots with near-lossless quality"_s, PremiumTheme::bodyFont(),
                                    PremiumTheme::textSecondary()));
    row->addLayout(titles);
    row->addStretch();
}
