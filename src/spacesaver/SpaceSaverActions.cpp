#include "spacesaver/SpaceSaverActions.h"

#include "spacesaver/SpaceSaverGradient.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"

#include <QHBoxLayout>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
RoundedBackground compressBackground()
{
    return {12, successToInfo({0, 0}, {1, 0}), Qt::transparent, 0,
            RoundedBackground::Shadow{withOpacity(PremiumTheme::success(), 0.5), 20, QPointF(0, 10)}};
}
} // namespace

SpaceSaverActions::SpaceSaverActions(SpaceSaverViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_plan(wideToolButton({12, PremiumTheme::primaryGradient(), Qt::transparent, 0, std::nullopt}, Qt::white))
    , m_planLabel(addBusyButtonLabel(*m_plan, u"chart.bar.doc.horizontal"_s, Qt::white))
    , m_cancel(titledToolButton(u"xmark"_s, u"Cancel"_s, RoundedBackground::glass(12), PremiumTheme::textPrimary()))
    , m_compress(titledToolButton(u"bolt.fill"_s, u"Compress Now"_s, compressBackground(), Qt::white))
{

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
    m_planLabel.show(analyzing, u"Create Compression Plan"_s, u"Analyzing..."_s);
    m_plan->setEnabled(!analyzing && m_viewModel.compressibleFiles() > 0 && !m_viewModel.isCompressing());
    // A plan with nothing in it (every image found no smaller before), or
    // one being made again, has nothing to run: the button says so by going
    // quiet.
    const bool hasWork = planned && !m_viewModel.plan()->files.isEmpty() && !analyzing;
    m_compress->setEnabled(hasWork && !m_viewModel.isCompressing());
    if (hasWork != m_compressLooksLive) {
        m_compressLooksLive = hasWork;
        m_compress->setBackground(hasWork ? compressBackground() : RoundedBackground::glass(12));
        m_compress->setTextColor(hasWork ? QColor(Qt::white) : PremiumTheme::textTertiary());
    }
}

QString SpaceSaverActions::planTitle() const
{
    return m_planLabel.title->text();
}

bool SpaceSaverActions::isSpinning() const
{
    return !m_planLabel.spinner->isHidden();
}
