#pragma once

#include "core/AppEvents.h"
#include "core/AppPreferences.h"
#include "core/DatabaseManager.h"
#include "core/ImageCache.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "core/Workers.h"
#include "ingest/EmbeddingRefresher.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/ClusteringService.h"
#include "library/CollectionService.h"
#include "library/GallerySearch.h"
#include "library/GalleryViewModel.h"
#include "library/LibrarySpellChecker.h"
#include "library/LibraryVocabulary.h"
#include "library/RelatedWords.h"
#include "organize/OrganizeService.h"
#include "platform/FileOps.h"
#include "platform/Trash.h"
#include "spacesaver/CompressionService.h"
#include "spacesaver/NotSmallerMemory.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class FolderChooser;
class Scheduler;
class SpellChecker;

// The one owner of every long-lived service. main() builds it before the
// first window, in dependency order (the member order below), and passes
// references down; nothing in the libraries reaches a global instead.
//
// Quitting runs shutDown() (on the application's aboutToQuit): polling stops,
// processing is cancelled and a tool's job is asked to stop, every result
// already analysed is written, the worker pools drain, and only then does
// the store close. Destruction after
// that releases the services in reverse order.
class AppServices : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString settingsPath = Settings::defaultFilePath();
        QString databasePath = DatabaseManager::defaultPath();
        QString embeddingModelPath;                                  // the bundled model when empty
        std::unique_ptr<MemoryMonitor::Source> memorySource;         // /proc when absent
        std::unique_ptr<AppPreferences::LoginItemService> loginItem; // only saved when absent
        std::shared_ptr<ScreenshotMonitor::FileAnalyzer> analyzer;   // the real analyses when absent
        std::shared_ptr<SpellChecker> spellChecker;         // the library's words, then Hunspell en_US, when absent
        std::unique_ptr<Trash> trash;                       // the desktop's Trash when absent
        std::unique_ptr<FileOps> fileOps;                   // the real file system when absent
        QString dataFolder = DatabaseManager::dataFolder(); // the tools' history, journal and memory files
        Scheduler* scheduler = nullptr;                     // the event loop's timers when absent
    };

    // How long quitting waits for a tool's job to reach a safe point (one
    // file's step); a job still busy then is left to the next start.
    static constexpr std::chrono::milliseconds toolStopWait{1000};

    explicit AppServices(Options options);
    ~AppServices() override;

    Workers& workers() { return m_workers; }
    Settings& settings() { return m_settings; }
    AppPreferences& preferences() { return m_preferences; }
    AppEvents& events() { return m_events; }
    MemoryMonitor& memoryMonitor() { return m_memoryMonitor; }
    DatabaseManager& store() { return m_store; }
    ImageCache& imageCache() { return m_imageCache; }
    EmbeddingService& embedding() { return m_embedding; }
    Trash& trash() { return *m_trash; }
    FileOps& fileOps() { return *m_fileOps; }
    const std::shared_ptr<const GallerySearch>& search() const { return m_search; }
    CollectionService& collections() { return m_collections; }
    ClusteringService& clustering() { return m_clustering; }
    ScreenshotMonitor& monitor() { return m_monitor; }
    OrganizeService& organizer() { return m_organizer; }
    CompressionService& compression() { return m_compression; }
    NotSmallerMemory& notSmaller() { return m_notSmaller; }

    // What every gallery view model is built with.
    GalleryViewModel::Services galleryServices();

    // Ordered, idempotent; see the class comment.
    void shutDown();
    bool isShutDown() const { return m_isShutDown; }
    // After shutDown(): when an analysis or a tool's job did not stop in
    // time, or a stopped run's encoding is still under way, its thread is
    // still inside work that uses these services (or an engine that static
    // destruction would pull from under it), so they cannot be destroyed;
    // the process ends here with `exitCode` instead, the store holding every
    // result that was finished. Returns otherwise.
    void endProcessIfStranded(int exitCode);

private:
    Workers m_workers;
    Settings m_settings;
    AppPreferences m_preferences;
    AppEvents m_events;
    MemoryMonitor m_memoryMonitor;
    DatabaseManager m_store;
    ImageCache m_imageCache;
    EmbeddingService m_embedding;
    std::unique_ptr<Trash> m_trash;
    std::unique_ptr<FileOps> m_fileOps;
    std::shared_ptr<LibrarySpellChecker> m_librarySpelling; // null when the options gave a checker
    std::shared_ptr<RelatedWords> m_relatedWords;           // fed with m_librarySpelling
    std::shared_ptr<const GallerySearch> m_search;
    CollectionService m_collections;
    ClusteringService m_clustering;
    ScreenshotMonitor m_monitor;
    std::unique_ptr<LibraryVocabulary> m_vocabulary; // feeds m_librarySpelling and m_relatedWords
    EmbeddingRefresher m_embeddingRefresher;
    // The tools' services outlive the window, whose screens may still wait
    // for a job of theirs when it closes.
    OrganizeService m_organizer;
    CompressionService m_compression;
    NotSmallerMemory m_notSmaller;
    bool m_isShutDown = false;
    bool m_isStranded = false;
};
