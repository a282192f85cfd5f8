#include "spacesaver/SpaceSaverView.h"

#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/LibrarySummary.h"
#include "ui/PlaceholderBody.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

SpaceSaverView::SpaceSaverView(ScreenshotMonitor& monitor, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(new SpaceSaverViewModel(monitor, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        makePlaceholderBody(u"arrow.down.circle"_s, u"Space Saver"_s, new QLabel(librarySummary(monitor))));
}
