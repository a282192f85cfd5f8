#include "app/AppServices.h"

#include "core/Console.h"
#include "core/LinkDetector.h"
#include "core/ProcMemorySource.h"
#include "core/ToolJobs.h"
#include "duplicates/DuplicateFinderViewModel.h"
#include "ingest/SentenceEncoder.h"
#include "ingest/ServiceAnalyzer.h"
#include "platform/HunspellSpellChecker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {
template <typename T, typename Default>
auto orDefault(T&& given, Default make)
{
    return given ? std::forward<T>(given) : make();
}
} // namespace

AppServices::AppServices(Options options)
    : m_settings(options.settingsPath)
    , m_preferences(m_settings, std::move(options.loginItem))
    , m_memoryMonitor(orDefault(std::move(options.memorySource),
                                [] { return std::unique_ptr<MemoryMonitor::Source>(new ProcMemorySource); }))
    , m_store(options.databasePath)
    , m_embedding(options.embeddingModelPath.isEmpty() ? SentenceEncoder::defaultPath() : options.embeddingModelPath)
    , m_trash(orDefault(std::move(options.trash), [] { return std::unique_ptr<Trash>(new SystemTrash); }))
    , m_fileOps(orDefault(std::move(options.fileOps), [] { return std::unique_ptr<FileOps>(new SystemFileOps); }))
    , m_librarySpelling(options.spellChecker ? nullptr
                                             : std::make_shared<LibrarySpellChecker>(
                                                   std::make_shared<HunspellSpellChecker>(), LinkDetector::shared()))
    , m_relatedWords(std::make_shared<RelatedWords>([embedding = &m_embedding] { return embedding->encoder(); }))
    , m_search(std::make_shared<GallerySearch>(
          orDefault(std::move(options.spellChecker),
                    [this] { return std::shared_ptr<SpellChecker>(m_librarySpelling); }),
          [embedding = &m_embedding](const QString& text) { return embedding->generateEmbedding(text); },
          m_workers.search().threads(), m_relatedWords))
    , m_monitor({.settings = m_settings,
                 .memoryMonitor = m_memoryMonitor,
                 .store = m_store,
                 .events = m_events,
                 .workers = m_workers,
                 .analyzer = orDefault(std::move(options.analyzer),
                                       [this] {
                                           return std::shared_ptr<ScreenshotMonitor::FileAnalyzer>(
                                               std::make_shared<ServiceAnalyzer>(m_embedding, m_workers));
                                       }),
                 .scheduler = options.scheduler})
    , m_embeddingRefresher(m_store, m_embedding, m_workers.gallery())
    , m_organizer(m_store, m_monitor, *m_fileOps, options.dataFolder)
    , m_compression(m_store, *m_fileOps)
    , m_notSmaller(options.dataFolder, m_workers.tasks().threads())
{
    if (m_librarySpelling) {
        m_vocabulary =
            std::make_unique<LibraryVocabulary>(m_monitor, *m_librarySpelling, m_workers.gallery(),
                                                options.scheduler ? *options.scheduler : Scheduler::eventLoop());
        m_vocabulary->setRelatedWords(m_relatedWords);
    }
    // What a tool cut short by a kill or a power cut left behind is put right
    // before the library loads, so that the load sees one file and one row
    // for every screenshot.
    m_compression.setJournalFolder(options.dataFolder);
    (void)m_organizer.recoverInterruptedRun();
    m_compression.settleAtStart();
    (void)DuplicateFinderViewModel::recoverInterruptedDeletion(m_store);
    // Rows analysed from now on carry the model's version; vectors of an
    // older one are made again once the library is listed, so the records
    // are there to take them.
    m_store.setEmbeddingModel(SentenceEncoder::modelVersion);
    connect(&m_monitor, &ScreenshotMonitor::scanFinished, &m_embeddingRefresher, &EmbeddingRefresher::start);
    connect(&m_embeddingRefresher, &EmbeddingRefresher::refreshed, &m_monitor, &ScreenshotMonitor::applyEmbeddings);
    // A new folder makes every cluster of the old one meaningless.
    connect(&m_monitor, &ScreenshotMonitor::folderChangeStarting, this, [this] { m_clustering.resetCache(); });
}

AppServices::~AppServices()
{
    shutDown();
}

GalleryViewModel::Services AppServices::galleryServices()
{
    return {.library = m_monitor,
            .store = m_store,
            .trash = *m_trash,
            .settings = m_settings,
            .workers = m_workers,
            .search = m_search};
}

void AppServices::shutDown()
{
    if (m_isShutDown)
        return;
    m_isShutDown = true;
    m_vocabulary.reset(); // a count under way stops at its next screenshot
    m_embeddingRefresher.stop();
    // A tool's run, undo or deletion under way stops at its next safe point,
    // while the analyses stop; what it leaves is settled at the next start
    // from its journal, as after a kill.
    const QDeadlineTimer toolDeadline(toolStopWait);
    ToolJobs::requestStop();
    const bool analysesStopped = m_monitor.shutDown();
    if (!analysesStopped)
        Console::printLine(u"⚠️ An analysis did not stop in time; quitting without waiting for it"_s);
    const bool toolsStopped = ToolJobs::waitForStop(toolDeadline);
    if (!toolsStopped)
        Console::printLine(u"⚠️ A tool did not reach a safe point in time; quitting without waiting for it"_s);
    // What the stopped job posted for its screen (its result, progress, the
    // end of its polling pause) is of no use now, and would otherwise be
    // delivered while the monitor goes, after the tools' services are gone.
    QCoreApplication::removePostedEvents(&m_monitor, QEvent::MetaCall);
    m_isStranded = !analysesStopped || !toolsStopped || ToolJobs::encodingsLeft();
    m_workers.waitForAll(analysesStopped);
    // The store's own queue finishes what was submitted to it when it is
    // destroyed, after everything above it.
}

void AppServices::endProcessIfStranded(int exitCode)
{
    if (!m_isStranded)
        return;
    m_store.dbQueue().sync([] {});
    std::fflush(nullptr);
    std::_Exit(exitCode);
}
