#include "organize/StatItem.h"

#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

StatItem::StatItem(const QString& icon, const QString& label, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_color(color)
    , m_value(makeTextLabel(QString(), PremiumTheme::headingFont(), PremiumTheme::textPrimary()))
    , m_label(makeTextLabel(label.toUpper(), PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary()))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 16, 0, 16);
    column->setSpacing(12);
    column->addWidget(new SymbolLabel(icon, 24, color), 0, Qt::AlignHCenter);
    column->addWidget(m_value, 0, Qt::AlignHCenter);
    column->addWidget(m_label, 0, Qt::AlignHCenter);
}

void StatItem::setValue(const QString& value)
{
    m_value->setText(value);
}

QString StatItem::value() const
{
    return m_value->text();
}

QString StatItem::label() const
{
    return m_label->text();
}

void StatItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RoundedBackground{12, withOpacity(m_color, 0.1), Qt::transparent, 0, std::nullopt}.paint(painter, QRectF(rect()));
}
