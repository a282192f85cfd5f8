#include "organize/PremiumReOrganizerView.h"

#include "organize/ReOrganizerViewModel.h"
#include "ui/LibrarySummary.h"
#include "ui/PlaceholderBody.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PremiumReOrganizerView::PremiumReOrganizerView(ScreenshotMonitor& monitor, QWidget* parent)
    : QWidget(parent)
    , m_monitor(monitor)
    , m_viewModel(new ReOrganizerViewModel(monitor, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        makePlaceholderBody(u"folder.badge.gearshape"_s, u"Re-Organizer"_s, new QLabel(librarySummary(monitor))));
}
