#include "spacesaver/SpaceStatCard.h"

#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QLabel>

namespace {
QWidget* tile(const QString& icon, const QColor& color)
{
    auto* tile = new RoundedPanel({8, withOpacity(color, 0.15), Qt::transparent, 0, std::nullopt}, 0);
    tile->setFixedSize(40, 40);
    tile->contentLayout()->addWidget(new StyledSymbol(icon, color, 18), 0, Qt::AlignCenter);
    return tile;
}
} // namespace

SpaceStatCard::SpaceStatCard(const QString& icon, const QString& label, const QColor& color, QWidget* parent)
    : RoundedPanel({10, PremiumTheme::surface(), Qt::transparent, 0, std::nullopt}, 12, QBoxLayout::LeftToRight, parent)
    , m_value(makeTextLabel(QString(), PremiumTheme::buttonFont(), PremiumTheme::textPrimary()))
    , m_label(makeTextLabel(label, PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary()))
{
    QBoxLayout* row = contentLayout();
    row->setSpacing(12);
    row->addWidget(tile(icon, color));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_value);
    texts->addWidget(m_label);
    row->addLayout(texts);
    row->addStretch();
}

void SpaceStatCard::setValue(const QString& value)
{
    m_value->setText(value);
}

QString SpaceStatCard::value() const
{
    return m_value->text();
}

QString SpaceStatCard::label() const
{
    return m_label->text();
}
