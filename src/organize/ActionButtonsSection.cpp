#include "organize/ActionButtonsSection.h"

#include "organize/ReOrganizerViewModel.h"
#include "ui/LabelContent.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/ToolButtons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

using namespace Qt::StringLiterals;

namespace {
RoundedBackground gradientFill()
{
    return {12, PremiumTheme::primaryGradient(), Qt::transparent, 0, std::nullopt};
}

} // namespace

ActionButtonsSection::ActionButtonsSection(ReOrganizerViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_analyze(wideToolButton(gradientFill(), Qt::white))
    , m_analyzeLabel(addBusyButtonLabel(*m_analyze, u"sparkles"_s, Qt::white))
    , m_cancel(titledToolButton(u"xmark"_s, u"Cancel"_s, RoundedBackground::glass(12), PremiumTheme::textPrimary()))
{
    RoundedBackground glowing = gradientFill();
    glowing.shadow = RoundedBackground::Shadow{withOpacity(PremiumTheme::primary(), 0.5), 20, QPointF(0, 10)};
    m_organize = titledToolButton(u"bolt.fill"_s, u"Organize Now"_s, glowing, Qt::white);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    for (PlainButton* button : {m_analyze, m_cancel, m_organize})
        row->addWidget(button);
    connect(m_analyze, &QAbstractButton::clicked, &viewModel, &ReOrganizerViewModel::analyze);
    connect(m_cancel, &QAbstractButton::clicked, &viewModel, &ReOrganizerViewModel::cancel);
    connect(m_organize, &QAbstractButton::clicked, &viewModel, &ReOrganizerViewModel::organize);
    connect(&viewModel, &ReOrganizerViewModel::changed, this, &ActionButtonsSection::refresh);
    refresh();
}

QString ActionButtonsSection::analyzeTitle() const
{
    return m_analyzeLabel.title->text();
}

void ActionButtonsSection::refresh()
{
    const bool planned = m_viewModel.plan().has_value();
    const bool analyzing = m_viewModel.isAnalyzing();
    m_analyze->setVisible(!planned);
    m_cancel->setVisible(planned);
    m_organize->setVisible(planned);
    m_analyzeLabel.show(analyzing, u"Analyze Structure"_s, u"Analyzing..."_s);
    m_analyze->setEnabled(!m_viewModel.isBusy());
    m_organize->setEnabled(!m_viewModel.isBusy());
    m_cancel->setEnabled(!m_viewModel.isOrganizing());
}
