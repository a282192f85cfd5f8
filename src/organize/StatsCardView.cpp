#include "organize/StatsCardView.h"

#include "organize/ReOrganizerViewModel.h"
#include "organize/StatItem.h"
#include "ui/PremiumTheme.h"

using namespace Qt::StringLiterals;

StatsCardView::StatsCardView(ReOrganizerViewModel& viewModel, QWidget* parent)
    : GlassCard(QBoxLayout::LeftToRight, parent)
    , m_viewModel(viewModel)
{
    contentLayout()->setSpacing(16);
    m_items = {new StatItem(u"photo.stack.fill"_s, u"Screenshots"_s, PremiumTheme::primary()),
               new StatItem(u"folder.fill"_s, u"Folders"_s, PremiumTheme::info()),
               new StatItem(u"clock.arrow.circlepath"_s, u"History"_s, PremiumTheme::warning())};
    for (StatItem* item : std::as_const(m_items))
        contentLayout()->addWidget(item);
    connect(&viewModel, &ReOrganizerViewModel::changed, this, &StatsCardView::refresh);
    refresh();
}

void StatsCardView::refresh()
{
    m_items[0]->setValue(QString::number(m_viewModel.totalFiles()));
    m_items[1]->setValue(QString::number(m_viewModel.totalFolders()));
    m_items[2]->setValue(QString::number(m_viewModel.history().operations.size()));
}
