#include "spacesaver/OverlayParts.h"

#include "ui/CenteredOverlay.h"
#include "ui/DimmedBackdrop.h"
#include "ui/GlowEffect.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedPanel.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QLabel>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
QWidget* badge(const QString& symbol, const QColor& tint)
{
    auto* box = new QWidget;
    box->setFixedSize(120, 120);
    auto* centre = new QVBoxLayout(box);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(new StyledSymbol(symbol, tint, 80), 0, Qt::AlignCenter);
    box->setGraphicsEffect(new GlowEffect(withOpacity(tint, 0.2), 120, 30));
    return box;
}

// Titles stay on one line; longer texts (a file name and a reason) wrap
// within a width the card keeps however short they are.
QLabel* centredText(const QString& text, const QFont& font, const QColor& color, bool wraps)
{
    QLabel* label = makeTextLabel(text, font, color);
    label->setAlignment(Qt::AlignHCenter);
    if (wraps) {
        label->setWordWrap(true);
        label->setFixedWidth(std::max(360, std::min(label->sizeHint().width(), 520)));
        // The card sizes the label by its hint, worked out for a width of
        // its own; at the width it gets, its lines may need more height. An
        // empty label (a card built before it has anything to say) has no
        // height for a width.
        if (const int height = label->heightForWidth(label->width()); height > 0)
            label->setMinimumHeight(height);
    }
    return label;
}
} // namespace

void OverlayParts::resultCard(CenteredOverlay& stack, const ResultCard& card, std::function<void()> onButton)
{
    stack.addLayer(new DimmedBackdrop);
    auto* panel = new RoundedPanel(RoundedBackground::overlayPanel(), 48);
    QBoxLayout* column = panel->contentLayout();
    column->setSpacing(32);
    column->addWidget(badge(card.symbol, card.tint), 0, Qt::AlignHCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(12);
    texts->addWidget(centredText(card.title, PremiumTheme::titleFont(), PremiumTheme::textPrimary(), false), 0,
                     Qt::AlignHCenter);
    texts->addWidget(centredText(card.line, PremiumTheme::bodyLargeFont(), card.lineColor, true), 0, Qt::AlignHCenter);
    if (!card.note.isEmpty())
        texts->addWidget(centredText(card.note, PremiumTheme::bodyFont(), PremiumTheme::textSecondary(), true), 0,
                         Qt::AlignHCenter);
    column->addLayout(texts);
    auto* button = new PlainButton({12, PremiumTheme::primaryGradient(), Qt::transparent, 0, std::nullopt},
                                   QMargins(48, 16, 48, 16));
    button->contentLayout()->addWidget(new QLabel(card.button));
    button->setFont(PremiumTheme::buttonFont());
    button->setTextColor(Qt::white);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setObjectName(card.button);
    QObject::connect(button, &QAbstractButton::clicked, button, std::move(onButton));
    column->addWidget(button, 0, Qt::AlignHCenter);
    stack.addLayer(panel);
}
