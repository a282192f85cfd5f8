#include "organize/ConfigurationSection.h"

#include "organize/ReOrganizerViewModel.h"
#include "organize/SmartToggle.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>

using namespace Qt::StringLiterals;

ConfigurationSection::ConfigurationSection(ReOrganizerViewModel& viewModel, QWidget* parent)
    : GlassCard(QBoxLayout::TopToBottom, parent)
    , m_viewModel(viewModel)
    , m_year(new SmartToggle(u"calendar"_s, u"Group by Year"_s, u"Organize into year folders (2026, 2025, etc.)"_s,
                             PremiumTheme::primary()))
    , m_month(new SmartToggle(u"calendar.badge.clock"_s, u"Group by Month"_s,
                              u"Further organize into month subfolders"_s, PremiumTheme::secondary()))
    , m_subfolders(new SmartToggle(u"folder.badge.plus"_s, u"Include Subfolders"_s,
                                   u"Also organize screenshots already in subdirectories"_s, PremiumTheme::info()))
{
    contentLayout()->setSpacing(20);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    heading->addWidget(new StyledSymbol(u"slider.horizontal.3"_s, PremiumTheme::primaryGradient(), 16));
    heading->addWidget(
        makeTextLabel(u"Organization Settings"_s, PremiumTheme::buttonFont(), PremiumTheme::textPrimary()));
    heading->addStretch();
    contentLayout()->addLayout(heading);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(16);
    for (SmartToggle* row : {m_year, m_month, m_subfolders})
        rows->addWidget(row);
    contentLayout()->addLayout(rows);

    connect(m_year, &SmartToggle::switched, &viewModel, &ReOrganizerViewModel::setGroupByYear);
    connect(m_month, &SmartToggle::switched, &viewModel, &ReOrganizerViewModel::setGroupByMonth);
    connect(m_subfolders, &SmartToggle::switched, &viewModel, &ReOrganizerViewModel::setIncludeSubfolders);
    connect(&viewModel, &ReOrganizerViewModel::changed, this, &ConfigurationSection::refresh);
    refresh();
}

void ConfigurationSection::refresh()
{
    m_year->setOn(m_viewModel.groupByYear());
    m_month->setOn(m_viewModel.groupByMonth());
    m_subfolders->setOn(m_viewModel.includeSubfolders());
    m_month->setIsDisabled(!m_viewModel.groupByYear());
    // A run works from the plan it was given; its switches wait.
    setEnabled(!m_viewModel.isOrganizing());
}
