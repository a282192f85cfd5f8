#pragma once

#include "library/GallerySearch.h"
#include "library/GalleryViewModel.h"
#include "platform/SpellChecker.h"
#include "platform/Trash.h"
#include "support/MonitorServices.h"

#include <memory>

// What a gallery view model under test works with besides its library, store
// and settings: the monitor's threads, the desktop's Trash of the scratch
// home, and a search without spelling correction or embeddings.
struct GalleryServices : MonitorServices
{
    SystemTrash trash;
    std::shared_ptr<const GallerySearch> search = std::make_shared<GallerySearch>(
        std::make_shared<NullSpellChecker>(), GallerySearch::EmbeddingProvider(), workers.search().threads());

    GalleryViewModel::Services over(LibrarySource& library, DatabaseManager& store, Settings& settings,
                                    Trash* otherTrash = nullptr)
    {
        return {library, store, otherTrash ? *otherTrash : trash, settings, workers, search};
    }
};
