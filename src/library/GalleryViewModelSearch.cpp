#include "library/GalleryViewModel.h"

QList<Screenshot> GalleryViewModel::performSearch(const QString& query, const QList<Screenshot>& candidates,
                                                  const std::atomic<bool>& cancelled)
{
    return GallerySearch::shared()->search(query, candidates, cancelled);
}
