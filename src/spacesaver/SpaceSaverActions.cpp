#include "spacesaver/SpaceSaverActions.h"

#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/LabelContent.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

using namespace Qt::StringLiterals;

namespace {
// A wide button whose label is centred in the room it is given.
PlainButton* wideButton(const RoundedBackground& background, const QColor& textColor)
{
    auto* button = new PlainButton(background, QMargins(16, 16, 16, 16));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->contentLayout()->setSpacing(12);
    button->setFont(PremiumTheme::buttonFont());
    button->setTextColor(textColor);
    return button;
}

PlainButton* titledButton(const QString& symbol, const QString& title, const RoundedBackground& background,
                          const QColor& textColor)
{
    PlainButton* button = wideButton(background, textColor);
    button->contentLayout()->addStretch();
    labelContent(*button->contentLayout(), symbol, title);
    button->contentLayout()->addStretch();
    return button;
}

RoundedBackground compressBackground()
{
    QLinearGradient gradient(0, 0, 1, 0);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, PremiumTheme::success());
    gradient.setColorAt(1, PremiumTheme::info());
    return {12, gradient, Qt::transparent, 0,
            RoundedBackground::Shadow{withOpacity(PremiumTheme::success(), 0.5), 20, QPointF(0, 10)}};
}
} // namespace

SpaceSaverActions::SpaceSaverActions(SpaceSaverViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_plan(wideButton({12, PremiumTheme::primaryGradient(), Qt::transparent, 0, std::nullopt}, Qt::white))
    , m_planSymbol(new StyledSymbol(u"chart.bar.doc.horizontal"_s))
    , m_planTitle(new QLabel)
    , m_cancel(titledButton(u"xmark"_s, u"Cancel"_s, RoundedBackground::glass(12), PremiumTheme::textPrimary()))
    , m_compress(titledButton(u"bolt.fill"_s, u"Compress Now"_s, compressBackground(), Qt::white))
{
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0); // indeterminate
    spinner->setTextVisible(false);
    spinner->setFixedSize(qRound(0.8 * 60), qRound(0.8 * 6));
    m_spinner = spinner;
    QBoxLayout* label = m_plan->contentLayout();
    label->addStretch();
    label->addWidget(m_spinner, 0, Qt::AlignVCenter);
    label->addWidget(m_planSymbol, 0, Qt::AlignVCenter);
    label->addWidget(m_planTitle, 0, Qt::AlignVCenter);
    label->addStretch();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    for (PlainButton* button : {m_plan, m_cancel, m_compress})
        row->addWidget(button);
    connect(m_plan, &QAbstractButton::clicked, &viewModel, &SpaceSaverViewModel::createPlan);
    connect(m_cancel, &QAbstractButton::clicked, &viewModel, &SpaceSaverViewModel::cancelPlan);
    connect(m_compress, &QAbstractButton::clicked, &viewModel, &SpaceSaverViewModel::compress);
    connect(&viewModel, &SpaceSaverViewModel::changed, this, &SpaceSaverActions::refresh);
    refresh();
}

void SpaceSaverActions::refresh()
{
    const bool planned = m_viewModel.plan().has_value();
    const bool analyzing = m_viewModel.isAnalyzing();
    m_plan->setVisible(!planned);
    m_cancel->setVisible(planned);
    m_compress->setVisible(planned);
    m_spinner->setVisible(analyzing);
    m_planSymbol->setVisible(!analyzing);
    m_planTitle->setText(analyzing ? u"Analyzing..."_s : u"Create Compression Plan"_s);
    m_plan->setEnabled(!analyzing && m_viewModel.compressibleFiles() > 0 && !m_viewModel.isCompressing());
    m_compress->setEnabled(!m_viewModel.isCompressing());
}

QString SpaceSaverActions::planTitle() const
{
    return m_planTitle->text();
}

bool SpaceSaverActions::isSpinning() const
{
    return !m_spinner->isHidden();
}
