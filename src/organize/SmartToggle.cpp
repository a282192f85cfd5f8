#include "organize/SmartToggle.h"

#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"
#include "ui/ToggleSwitch.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace {
class IconTile : public QWidget
{
public:
    IconTile(const QString& icon, const QColor& accent)
        : m_accent(accent)
    {
        setFixedSize(44, 44);
        auto* centre = new QHBoxLayout(this);
        centre->setContentsMargins(0, 0, 0, 0);
        centre->addWidget(new SymbolLabel(icon, 20, accent), 0, Qt::AlignCenter);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        RoundedBackground{10, withOpacity(m_accent, 0.15), Qt::transparent, 0, std::nullopt}.paint(painter,
                                                                                                   QRectF(rect()));
    }

private:
    QColor m_accent;
};
} // namespace

SmartToggle::SmartToggle(const QString& icon, const QString& title, const QString& subtitle, const QColor& accentColor,
                         QWidget* parent)
    : QWidget(parent)
    , m_accent(accentColor)
    , m_title(makeTextLabel(title, PremiumTheme::bodyFont(), PremiumTheme::textPrimary()))
    , m_switch(new ToggleSwitch)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(16);
    row->addWidget(new IconTile(icon, accentColor));
    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(m_title);
    auto* detail = makeTextLabel(subtitle, PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary());
    detail->setWordWrap(true);
    text->addWidget(detail);
    row->addLayout(text, 1);
    row->addWidget(m_switch, 0, Qt::AlignVCenter);
    connect(m_switch, &QAbstractButton::clicked, this, &SmartToggle::switched);
    setGraphicsEffect(new QGraphicsOpacityEffect(this));
    setIsDisabled(false);
}

void SmartToggle::setOn(bool on)
{
    m_switch->setChecked(on);
}

bool SmartToggle::isOn() const
{
    return m_switch->isChecked();
}

QString SmartToggle::title() const
{
    return m_title->text();
}

void SmartToggle::setIsDisabled(bool disabled)
{
    m_isDisabled = disabled;
    m_switch->setEnabled(!disabled);
    static_cast<QGraphicsOpacityEffect*>(graphicsEffect())->setOpacity(disabled ? 0.6 : 1.0);
    QPalette palette = m_title->palette();
    palette.setColor(QPalette::WindowText, disabled ? PremiumTheme::textTertiary() : PremiumTheme::textPrimary());
    m_title->setPalette(palette);
    update();
}

void SmartToggle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor fill = withOpacity(PremiumTheme::surface(), m_isDisabled ? 0.5 : 1.0);
    RoundedBackground{12, fill, Qt::transparent, 0, std::nullopt}.paint(painter, QRectF(rect()));
}
