#include "library/GalleryViewModel.h"

#include "core/Clock.h"
#include "core/Console.h"
#include "core/GuiThread.h"
#include "core/LargeBlocks.h"
#include "core/Workers.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
// Long enough for a run's batches to come one after another without an
// index made in between.
constexpr int searchPreparationDelayMs = 2000;
// Dropping the last copy of a large list frees every record in it, which
// takes longer than a frame for a large library: it is done on a worker.
template <typename T>
void releaseOnWorker(Workers& workers, T&& value)
{
    workers.gallery().start(
        [held = std::make_shared<std::decay_t<T>>(std::forward<T>(value))]() mutable { *held = {}; });
}

// The store keeps empty notes as no notes, so both read the same.
QString notesText(const std::optional<QString>& notes)
{
    return notes.value_or(QString());
}

bool hasSameUserData(const Screenshot& screenshot, const QStringList& customTags,
                     const std::optional<QString>& userNotes)
{
    return screenshot.customTags == customTags && notesText(screenshot.userNotes) == notesText(userNotes);
}
} // namespace

GalleryViewModel::GalleryViewModel(const Services& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_searchIndex(std::make_shared<SearchIndex::Cache>())
    , m_searchPause(scheduler(), browsingPause, *this, [this] { releaseSearchMemory(); })
{
    Console::printLine(u"📸 GalleryViewModel: Init"_s);
    m_dayTimer.setSingleShot(true);
    m_dayTimer.setTimerType(Qt::PreciseTimer);
    m_searchPreparation.setSingleShot(true);
    m_searchPreparation.setInterval(searchPreparationDelayMs);
    connect(&m_searchPreparation, &QTimer::timeout, this, &GalleryViewModel::prepareSearch);
    connect(&m_dayTimer, &QTimer::timeout, this, [this] {
        if (m_searchText.isEmpty())
            updateSections();
        scheduleDayChange();
    });
    setupBindings();
    updateSections();
    scheduleDayChange();
}

GalleryViewModel::~GalleryViewModel()
{
    cancelRebuild();
    if (m_preparationCancelled)
        *m_preparationCancelled = true;
}

void GalleryViewModel::setPreparesSearch(bool prepares)
{
    assertGuiThread();
    m_preparesSearch = prepares;
    if (prepares)
        scheduleSearchPreparation();
    else
        m_searchPreparation.stop();
}

void GalleryViewModel::scheduleSearchPreparation()
{
    // A run publishes the library after every batch: the index waits until
    // the publishing stops rather than being made again after each.
    if (m_preparationCancelled)
        *m_preparationCancelled = true;
    if (m_preparesSearch)
        m_searchPreparation.start();
}

void GalleryViewModel::prepareSearch()
{
    // A search under way makes the index itself.
    if (!m_searchText.isEmpty() || m_screenshots.isEmpty())
        return;
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_preparationCancelled = cancelled;
    // Nobody waits for the index: a newer library or search cancels it through its token.
    (void)QtConcurrent::run(&m_services.workers.gallery().threads(),
                            [search = m_services.search, cache = m_searchIndex, library = m_screenshots,
                             generation = m_libraryGeneration,
                             cancelled] { search->prepareIndex(library, *cache, generation, *cancelled); });
}

Scheduler& GalleryViewModel::scheduler() const
{
    return m_services.scheduler ? *m_services.scheduler : Scheduler::eventLoop();
}

// Typing has stopped a while: the answers remembered for the next keystroke
// and the pages the searches freed go. The library's own gallery keeps its
// index, made ready for the first keystroke as at start; another gallery's
// index is made again by its next search.
void GalleryViewModel::releaseSearchMemory()
{
    m_services.search->dropCaches();
    if (!m_preparesSearch)
        releaseOnWorker(m_services.workers, m_searchIndex->take());
    returnFreePagesWhenQuiet(scheduler());
}

void GalleryViewModel::setupBindings()
{
    // Each value is taken when the monitor publishes it and applied on a later
    // turn of the event loop: deliveries keep the monitor's order, and a model
    // that is gone by then receives nothing.
    const auto deliverScreenshots = [this] {
        runOnThreadOf(this, [this, incoming = library().screenshots()] { mergeIncomingScreenshots(incoming); });
    };
    connect(&library(), &LibrarySource::screenshotsChanged, this, deliverScreenshots);
    connect(&library(), &LibrarySource::monitoredPathChanged, this, &GalleryViewModel::setMonitoredPath,
            Qt::QueuedConnection);
    connect(
        &library(), &LibrarySource::hasFileAccessChanged, this, [this](bool access) { setNeedsPermission(!access); },
        Qt::QueuedConnection);

    // Like any observer, the model first receives the values as they stand.
    deliverScreenshots();
    runOnThreadOf(this, [this, path = library().monitoredPath()] { setMonitoredPath(path); });
    runOnThreadOf(this, [this, access = library().hasFileAccess()] { setNeedsPermission(!access); });
}

void GalleryViewModel::setSearchText(const QString& text)
{
    assertGuiThread();
    m_searchText = text;
    Q_EMIT searchTextChanged(m_searchText);
    updateSections();
}

void GalleryViewModel::setScreenshots(QList<Screenshot> screenshots)
{
    assertGuiThread();
    std::swap(m_screenshots, screenshots);
    ++m_libraryGeneration;
    releaseOnWorker(m_services.workers, std::move(screenshots));
    Q_EMIT screenshotsChanged();
    screenshotsDidChange();
}

void GalleryViewModel::setSections(QList<GallerySection> sections)
{
    assertGuiThread();
    std::swap(m_sections, sections);
    releaseOnWorker(m_services.workers, std::move(sections));
    Q_EMIT sectionsChanged();
}

void GalleryViewModel::setSelectedIds(QSet<QUuid> ids)
{
    assertGuiThread();
    m_selectedIds = std::move(ids);
    Q_EMIT selectedIdsChanged();
}

void GalleryViewModel::setIsSelectionMode(bool value)
{
    m_isSelectionMode = value;
    Q_EMIT isSelectionModeChanged(m_isSelectionMode);
    if (!m_isSelectionMode)
        setSelectedIds({});
}

void GalleryViewModel::setIsMonitoring(bool value)
{
    m_isMonitoring = value;
    Q_EMIT isMonitoringChanged(m_isMonitoring);
}

void GalleryViewModel::setMonitoredPath(const QString& path)
{
    m_monitoredPath = path;
    Q_EMIT monitoredPathChanged(m_monitoredPath);
}

void GalleryViewModel::setNeedsPermission(bool value)
{
    m_needsPermission = value;
    Q_EMIT needsPermissionChanged(m_needsPermission);
}

void GalleryViewModel::setActiveCollection(std::optional<SmartCollection> collection)
{
    assertGuiThread();
    m_activeCollection = std::move(collection);
    Q_EMIT activeCollectionChanged();
    updateSections();
}

void GalleryViewModel::mergeIncomingScreenshots(const QList<Screenshot>& incoming)
{
    if (m_localEdits.isEmpty()) {
        setScreenshots(incoming);
        return;
    }
    // A local edit holds until the monitor publishes the same tags and notes;
    // after that the monitor's values hold, so a removed tag stays removed.
    QList<Screenshot> merged = incoming;
    QHash<QUuid, UserData> stillPending;
    for (qsizetype i = 0; i < incoming.size(); ++i) {
        const Screenshot& screenshot = incoming.at(i);
        const auto edit = m_localEdits.constFind(screenshot.id);
        if (edit == m_localEdits.cend() || hasSameUserData(screenshot, edit->customTags, edit->userNotes))
            continue;
        stillPending.insert(screenshot.id, *edit);
        merged[i].customTags = edit->customTags;
        merged[i].userNotes = edit->userNotes;
    }
    m_localEdits = std::move(stillPending);
    setScreenshots(std::move(merged));
}

void GalleryViewModel::screenshotsDidChange()
{
    Console::printLine(u"📸 GalleryViewModel: Screenshots updated to "_s + QString::number(m_screenshots.size()));
    rebuildInBackground();
    scheduleSearchPreparation();
}

void GalleryViewModel::updateScreenshot(const Screenshot& screenshot)
{
    assertGuiThread();
    const qsizetype index = m_screenshots.indexOf(screenshot);
    if (index < 0)
        return;
    if (!hasSameUserData(m_screenshots.at(index), screenshot.customTags, screenshot.userNotes))
        m_localEdits.insert(screenshot.id, {screenshot.customTags, screenshot.userNotes});
    m_screenshots[index] = screenshot;
    ++m_libraryGeneration;
    Q_EMIT screenshotsChanged();
    screenshotsDidChange();
}

QList<Screenshot> GalleryViewModel::visibleScreenshots() const
{
    QList<Screenshot> visible;
    qsizetype count = 0;
    for (const GallerySection& section : m_sections)
        count += section.screenshots.size();
    visible.reserve(count);
    for (const GallerySection& section : m_sections)
        visible.append(section.screenshots);
    return visible;
}

// What the user sees right after an action of theirs (clearing the search,
// choosing a collection) is the new day sections, not the old ones for a
// moment: those are built at once. A search, and every rebuild that follows a
// publish of the library, runs on a worker.
void GalleryViewModel::updateSections()
{
    assertGuiThread();
    if (m_searchText.isEmpty())
        rebuildNow();
    else
        rebuildInBackground();
}

GalleryViewModel::RebuildInput GalleryViewModel::rebuildInput() const
{
    return {m_searchText,      m_screenshots, m_activeCollection, Clock::now().toLocalTime().date(),
            m_services.search, m_searchIndex, m_libraryGeneration};
}

void GalleryViewModel::rebuildNow()
{
    cancelRebuild();
    const std::atomic<bool> running{false};
    setSections(buildSections(rebuildInput(), running));
}

void GalleryViewModel::rebuildInBackground()
{
    cancelRebuild();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_rebuildCancelled = cancelled;
    // The sections are built on a worker from a snapshot: over a large
    // library neither the collection's test nor the copies into the sections
    // fit in a frame. The current sections stay until the new ones arrive,
    // and a rebuild that a newer one has replaced is never shown.
    const RebuildInput input = rebuildInput();
    // The watcher reports on a later turn of the event loop even when the
    // work is already done, and reports nothing once this model is gone.
    auto* watcher = new QFutureWatcher<QList<GallerySection>>(this);
    const bool searched = !input.searchText.isEmpty();
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, cancelled, searched] {
        QList<GallerySection> sections = watcher->future().takeResult();
        watcher->deleteLater();
        if (*cancelled) {
            releaseOnWorker(m_services.workers, std::move(sections));
            return;
        }
        setSections(std::move(sections));
        if (searched)
            m_searchPause.poke();
    });
    watcher->setFuture(QtConcurrent::run(&m_services.workers.gallery().threads(),
                                         [input, cancelled] { return buildSections(input, *cancelled); }));
}

void GalleryViewModel::cancelRebuild()
{
    if (m_rebuildCancelled)
        *m_rebuildCancelled = true;
}

QList<GalleryViewModel::GallerySection> GalleryViewModel::buildSections(const RebuildInput& input,
                                                                        const std::atomic<bool>& cancelled)
{
    // A collection's members are named by their positions in the library,
    // which the search index shares.
    std::vector<qsizetype> members;
    if (input.collection) {
        for (qsizetype i = 0; i < input.screenshots.size(); ++i) {
            if (input.collection->contains(input.screenshots.at(i)))
                members.push_back(i);
        }
        Console::printLine(u"📊 Collection '%1': Filtered %2 -> %3 screenshots"_s.arg(input.collection->name)
                               .arg(input.screenshots.size())
                               .arg(members.size()));
    }
    if (cancelled)
        return {};
    // Only a text without any character shows the days; a blank searches.
    if (input.searchText.isEmpty())
        return groupByDay(input.collection ? membersOf(input.screenshots, members) : input.screenshots, input.today);
    const QList<Screenshot> results =
        input.search->search(input.searchText, input.screenshots, input.collection ? &members : nullptr,
                             *input.searchIndex, input.libraryGeneration, cancelled);
    return {GallerySection{u"Top Results (%1)"_s.arg(results.size()), results}};
}

QList<Screenshot> GalleryViewModel::membersOf(const QList<Screenshot>& library, const std::vector<qsizetype>& members)
{
    QList<Screenshot> screenshots;
    screenshots.reserve(qsizetype(members.size()));
    for (const qsizetype position : members)
        screenshots.append(library.at(position));
    return screenshots;
}

void GalleryViewModel::scheduleDayChange()
{
    const QDateTime now = Clock::now().toLocalTime();
    const QDateTime midnight = now.date().addDays(1).startOfDay();
    m_dayTimer.start(int(std::clamp<qint64>(now.msecsTo(midnight), 1, 25 * 3600 * 1000)));
}
