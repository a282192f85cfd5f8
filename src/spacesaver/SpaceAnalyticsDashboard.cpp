#include "spacesaver/SpaceAnalyticsDashboard.h"

#include "core/ByteCount.h"
#include "spacesaver/SavingsGauge.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "spacesaver/SpaceStatCard.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>

using namespace Qt::StringLiterals;

namespace {
QString bytes(qint64 count)
{
    return formatFileByteCount(count, ByteUnits::kilobytesToGigabytes);
}

// Text painted with a brush, as a gradient-styled figure.
class GradientText : public QLabel
{
public:
    GradientText(const QFont& font, const QColor& from, const QColor& to)
        : m_from(from)
        , m_to(to)
    {
        setFont(font);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QLinearGradient gradient(contentsRect().topLeft(), contentsRect().topRight());
        gradient.setColorAt(0, m_from);
        gradient.setColorAt(1, m_to);
        painter.setPen(QPen(QBrush(gradient), 1));
        painter.setFont(font());
        painter.drawText(contentsRect(), int(alignment()), text());
    }

private:
    QColor m_from;
    QColor m_to;
};

QWidget* spinner()
{
    auto* bar = new QProgressBar;
    bar->setRange(0, 0); // indeterminate
    bar->setTextVisible(false);
    bar->setFixedSize(qRound(0.8 * 60), qRound(0.8 * 6));
    return bar;
}
} // namespace

SpaceAnalyticsDashboard::SpaceAnalyticsDashboard(SpaceSaverViewModel& viewModel, QWidget* parent)
    : GlassCard(QBoxLayout::TopToBottom, parent)
    , m_viewModel(viewModel)
    , m_spinner(spinner())
    , m_gauge(new SavingsGauge)
    , m_savings(new GradientText(PremiumTheme::headingFont(), PremiumTheme::success(), PremiumTheme::info()))
    , m_percent(makeTextLabel(QString(), PremiumTheme::labelFont(), PremiumTheme::success()))
{
    QBoxLayout* column = contentLayout();
    column->setSpacing(24);

    auto* title = new QHBoxLayout;
    title->addWidget(new StyledSymbol(u"chart.pie.fill"_s, PremiumTheme::primaryGradient(), 15));
    title->addWidget(makeTextLabel(u"Space Analysis"_s, PremiumTheme::buttonFont(), PremiumTheme::textPrimary()));
    title->addStretch();
    title->addWidget(m_spinner);
    column->addLayout(title);

    auto* gaugeColumn = new QVBoxLayout;
    gaugeColumn->setSpacing(16);
    gaugeColumn->addWidget(m_gauge, 0, Qt::AlignHCenter);
    auto* savings = new QVBoxLayout;
    savings->setSpacing(4);
    savings->addWidget(
        makeTextLabel(u"Can Save"_s.toUpper(), PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary()), 0,
        Qt::AlignHCenter);
    savings->addWidget(m_savings, 0, Qt::AlignHCenter);
    savings->addWidget(m_percent, 0, Qt::AlignHCenter);
    gaugeColumn->addLayout(savings);

    auto* cardColumn = new QVBoxLayout;
    cardColumn->setSpacing(16);
    m_cards = {new SpaceStatCard(u"photo.stack.fill"_s, u"Total Files"_s, PremiumTheme::primary()),
               new SpaceStatCard(u"doc.fill"_s, u"Compressible"_s, PremiumTheme::info()),
               new SpaceStatCard(u"leaf.fill"_s, u"CO₂ Saved"_s, PremiumTheme::success())};
    cardColumn->addStretch();
    for (SpaceStatCard* card : std::as_const(m_cards))
        cardColumn->addWidget(card);
    cardColumn->addStretch();

    auto* figures = new QHBoxLayout;
    figures->setSpacing(24);
    figures->addLayout(gaugeColumn);
    figures->addStretch();
    figures->addLayout(cardColumn, 1);
    column->addLayout(figures);

    connect(&viewModel, &SpaceSaverViewModel::changed, this, &SpaceAnalyticsDashboard::refresh);
    refresh();
}

void SpaceAnalyticsDashboard::refresh()
{
    m_spinner->setVisible(m_viewModel.isAnalyzing());
    m_gauge->showFraction(m_viewModel.savingsPercent() / 100);
    m_gauge->setTotal(bytes(m_viewModel.totalSize()));
    m_savings->setText(bytes(m_viewModel.potentialSavings()));
    m_percent->setText(QString::asprintf("%.1f", m_viewModel.savingsPercent()) + u"%"_s);
    m_cards[0]->setValue(QString::number(m_viewModel.totalFiles()));
    m_cards[1]->setValue(QString::number(m_viewModel.compressibleFiles()));
    m_cards[2]->setValue(m_viewModel.co2SavedText());
}

QString SpaceAnalyticsDashboard::savingsText() const
{
    return m_savings->text();
}

QString SpaceAnalyticsDashboard::percentText() const
{
    return m_percent->text();
}

bool SpaceAnalyticsDashboard::isSpinning() const
{
    return !m_spinner->isHidden();
}
