#include "app/CollectionRebuilder.h"

#include "core/Console.h"
#include "core/Workers.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
void printSummary(const QList<SmartCollection>& collections)
{
    const auto links = std::count_if(collections.cbegin(), collections.cend(),
                                     [](const SmartCollection& c) { return c.type == CollectionType::link; });
    Console::printLine(u"📊 Generated %1 collections. (Links: %2)"_s.arg(collections.size()).arg(links));
}
} // namespace

CollectionRebuilder::CollectionRebuilder(Workers& workers, BuildFunction build, QObject* parent)
    : QObject(parent)
    , m_workers(workers)
    , m_build(std::move(build))
{}

// A build still running finishes on the pool; its result finds no receiver.
CollectionRebuilder::~CollectionRebuilder() = default;

void CollectionRebuilder::setBuildFunction(BuildFunction build)
{
    m_build = std::move(build);
}

void CollectionRebuilder::setApplyDelayMs(int delayMs)
{
    m_applyDelayMs = std::max(0, delayMs);
}

bool CollectionRebuilder::passesGate(bool isAnalyzing, const QList<Screenshot>& screenshots)
{
    if (!isAnalyzing)
        return true;
    const auto withEmbedding = std::count_if(screenshots.cbegin(), screenshots.cend(),
                                             [](const Screenshot& s) { return s.embedding.has_value(); });
    return withEmbedding >= screenshots.size() / 2;
}

bool CollectionRebuilder::screenshotsChanged(const QList<Screenshot>& screenshots, const QString& monitoredPath)
{
    if (!passesGate(m_isAnalyzing, screenshots))
        return false;
    m_isAnalyzing = true;
    Request request{++m_lastGeneration, screenshots, monitoredPath};
    if (isBuilding())
        m_pending = std::move(request);
    else
        start(std::move(request));
    return true;
}

void CollectionRebuilder::start(Request request)
{
    // Also for the pending list, whose build begins just after an earlier
    // result has been applied and cleared the flag.
    m_isAnalyzing = true;
    m_building = request.generation;
    Q_EMIT buildStarted(request.generation);
    QPointer<CollectionRebuilder> receiver(this);
    m_workers.collections().start([receiver, build = m_build, request = std::move(request)] {
        QList<SmartCollection> collections = build(request.screenshots, request.monitoredPath);
        printSummary(collections);
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [receiver, generation = request.generation, collections = std::move(collections)]() mutable {
                if (receiver)
                    receiver->buildFinished(generation, std::move(collections));
            },
            Qt::QueuedConnection);
    });
}

void CollectionRebuilder::buildFinished(quint64 generation, QList<SmartCollection> collections)
{
    // Timed here rather than slept on the pool: waiting occupies no thread.
    QTimer::singleShot(m_applyDelayMs, this,
                       [this, generation, collections = std::move(collections)] { apply(generation, collections); });
}

void CollectionRebuilder::apply(quint64 generation, const QList<SmartCollection>& collections)
{
    if (generation > m_appliedGeneration) {
        m_appliedGeneration = generation;
        m_isAnalyzing = false;
        Q_EMIT collectionsReady(collections);
    }
    if (generation != m_building)
        return;
    m_building = 0;
    if (m_pending)
        start(*std::exchange(m_pending, std::nullopt));
}
