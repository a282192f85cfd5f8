#include "duplicates/DuplicateFinderView.h"

#include "duplicates/DuplicateFinderViewModel.h"
#include "ingest/ScreenshotMonitor.h"
#include "ui/LibrarySummary.h"
#include "ui/PlaceholderBody.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

DuplicateFinderView::DuplicateFinderView(ScreenshotMonitor& monitor, DatabaseManager& database, Trash& trash,
                                         QWidget* parent)
    : QWidget(parent)
    , m_viewModel(new DuplicateFinderViewModel(monitor, database, trash, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        makePlaceholderBody(u"doc.on.doc.fill"_s, u"Duplicate Finder"_s, new QLabel(librarySummary(monitor))));
}
