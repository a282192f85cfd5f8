#include "organize/ActionButtonsSection.h"

#include "organize/ReOrganizerViewModel.h"
#include "ui/LabelContent.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

using namespace Qt::StringLiterals;

namespace {
RoundedBackground gradientFill()
{
    return {12, PremiumTheme::primaryGradient(), Qt::transparent, 0, std::nullopt};
}

// A wide button whose label is centred in the room it is given.
PlainButton* wideButton(const RoundedBackground& background, const QColor& textColor)
{
    auto* button = new PlainButton(background, QMargins(16, 16, 16, 16));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->contentLayout()->setSpacing(12);
    return button;
}

PlainButton* titledButton(const QString& symbol, const QString& title, const RoundedBackground& background,
                          const QColor& textColor)
{
    PlainButton* button = wideButton(background, textColor);
    button->contentLayout()->addStretch();
    labelContent(*button->contentLayout(), symbol, title);
    button->contentLayout()->addStretch();
    button->setTextStyle(PremiumTheme::buttonFont(), textColor);
    return button;
}
} // namespace

ActionButtonsSection::ActionButtonsSection(ReOrganizerViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_analyze(wideButton(gradientFill(), Qt::white))
    , m_spinner(new QProgressBar)
    , m_sparkles(new StyledSymbol(u"sparkles"_s))
    , m_analyzeTitle(inheritingLabel(QString()))
    , m_cancel(titledButton(u"xmark"_s, u"Cancel"_s, RoundedBackground::glass(12), PremiumTheme::textPrimary()))
{
    RoundedBackground glowing = gradientFill();
    glowing.shadow = RoundedBackground::Shadow{withOpacity(PremiumTheme::primary(), 0.5), 20, QPointF(0, 10)};
    m_organize = titledButton(u"bolt.fill"_s, u"Organize Now"_s, glowing, Qt::white);

    m_spinner->setRange(0, 0); // indeterminate
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(qRound(0.8 * 60), qRound(0.8 * 6));
    QBoxLayout* label = m_analyze->contentLayout();
    label->addStretch();
    label->addWidget(m_spinner, 0, Qt::AlignVCenter);
    label->addWidget(m_sparkles, 0, Qt::AlignVCenter);
    label->addWidget(m_analyzeTitle, 0, Qt::AlignVCenter);
    label->addStretch();
    m_analyze->setTextStyle(PremiumTheme::buttonFont(), Qt::white);

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
    return m_analyzeTitle->text();
}

void ActionButtonsSection::refresh()
{
    const bool planned = m_viewModel.plan().has_value();
    const bool analyzing = m_viewModel.isAnalyzing();
    m_analyze->setVisible(!planned);
    m_cancel->setVisible(planned);
    m_organize->setVisible(planned);
    m_spinner->setVisible(analyzing);
    m_sparkles->setVisible(!analyzing);
    m_analyzeTitle->setText(analyzing ? u"Analyzing..."_s : u"Analyze Structure"_s);
    m_analyze->setEnabled(!m_viewModel.isBusy());
    m_organize->setEnabled(!m_viewModel.isBusy());
    m_cancel->setEnabled(!m_viewModel.isOrganizing());
}
