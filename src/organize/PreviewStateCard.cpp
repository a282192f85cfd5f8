#include "organize/PreviewStateCard.h"

#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

PreviewStateCard::PreviewStateCard(const QString& title, const QString& icon, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_lines(new QVBoxLayout)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    heading->addWidget(new SymbolLabel(icon, 15, color));
    heading->addWidget(makeTextLabel(title, PremiumTheme::labelFont(), color));
    heading->addStretch();
    column->addLayout(heading);
    m_lines->setSpacing(6);
    column->addLayout(m_lines);
}

void PreviewStateCard::setItems(const QStringList& items)
{
    if (items == m_items)
        return;
    m_items = items;
    while (QLayoutItem* item = m_lines->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const QString& line : items) {
        auto* label = makeTextLabel(line, PremiumTheme::monoFont(), PremiumTheme::textSecondary());
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_lines->addWidget(label);
    }
}

void PreviewStateCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RoundedBackground{12, PremiumTheme::surface(), Qt::transparent, 0, std::nullopt}.paint(painter, QRectF(rect()));
}
