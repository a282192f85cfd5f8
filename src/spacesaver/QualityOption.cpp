#include "spacesaver/QualityOption.h"

#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QPainter>

// A stroked ring, with a dot in it while selected.
class SelectionMark : public QWidget
{
public:
    SelectionMark() { setFixedSize(26, 26); }

    void setSelected(bool selected)
    {
        m_selected = selected;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect()).center();
        painter.setPen(QPen(m_selected ? PremiumTheme::primary() : PremiumTheme::glassBorder(), 2));
        painter.drawEllipse(centre, 12, 12);
        if (!m_selected)
            return;
        painter.setPen(Qt::NoPen);
        painter.setBrush(PremiumTheme::primary());
        painter.drawEllipse(centre, 6, 6);
    }

private:
    bool m_selected = false;
};

namespace {
RoundedBackground backgroundFor(bool selected)
{
    if (selected)
        return RoundedBackground::tinted(12, PremiumTheme::primary(), 0.1, 0.5);
    return {12, PremiumTheme::surface(), Qt::transparent, 1, std::nullopt};
}
} // namespace

QualityOption::QualityOption(const QString& title, const QString& subtitle, QWidget* parent)
    : PlainButton(backgroundFor(false), QMargins(16, 16, 16, 16), QBoxLayout::LeftToRight, parent)
    , m_title(title)
    , m_mark(new SelectionMark)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QBoxLayout* row = contentLayout();
    row->setSpacing(16);
    row->addWidget(m_mark);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(makeTextLabel(title, PremiumTheme::bodyFont(), PremiumTheme::textPrimary()));
    texts->addWidget(makeTextLabel(subtitle, PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary()));
    row->addLayout(texts);
    row->addStretch();
}

void QualityOption::setSelected(bool selected)
{
    m_selected = selected;
    m_mark->setSelected(selected);
    setBackground(backgroundFor(selected));
}
