// The main view while the monitor publishes a large library over and over
// (analysis results arrive every few hundred milliseconds): collection
// rebuilds must stay off the GUI thread, never pile up, and end on the last
// list published.
//
// 50 publishes of 100k screenshots in 5 s to a shown main view on the Quick
// Links screen (the longest list it applies). Reports the most builds in
// flight (running plus pending), the longest the GUI thread went without
// turning its event loop, and whether the last list's collections are shown.

#include "app/AppServices.h"
#include "app/MainAppView.h"
#include "core/Clock.h"
#include "core/Console.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/SpellChecker.h"
#include "support/BenchSupport.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <random>

using namespace Qt::StringLiterals;

namespace {
constexpr int kScreenshots = 100'000;
constexpr int kPublishes = 50;
constexpr int kPublishIntervalMs = 100;
constexpr int kHosts = 500;
const QString kDesktop = u"/home/user/Desktop"_s;
const QString kFinalTag = u"Final publish"_s;

// Half analysed (an embedding), 30 % with links to 500 hosts, 10 % tagged,
// spread over 50 folders and the last year.
QList<Screenshot> makeLibrary()
{
    std::mt19937 random(29);
    auto chance = [&random](double p) { return std::bernoulli_distribution(p)(random); };
    auto pick = [&random](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    const qint64 nowSecs = Clock::now().toSecsSinceEpoch();
    const QList<double> embedding(100, 0.1);
    QList<Screenshot> library;
    library.reserve(kScreenshots);
    for (int i = 0; i < kScreenshots; ++i) {
        Screenshot s;
        s.id = QUuid::createUuid();
        s.filename = u"Screenshot %1.png"_s.arg(i);
        s.filePath = kDesktop + u"/Project %1/"_s.arg(pick(50)) + s.filename;
        s.dateCreated = QDateTime::fromSecsSinceEpoch(nowSecs - pick(365 * 86400));
        if (i % 2 == 0)
            s.embedding = embedding;
        if (chance(0.3))
            s.detectedUrls = QList<QUrl>{QUrl(u"https://site%1.com/page"_s.arg(pick(kHosts)))};
        if (chance(0.1))
            s.customTags.append(u"Tag %1"_s.arg(pick(40)));
        library.append(s);
    }
    return library;
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, home.path().toUtf8());
    QApplication app(argc, argv);
    // Each build's summary line would only interleave with the report.
    Console::setSink([](const QString&) {});

    // Three distinct lists, made before anything is timed; the last one
    // published carries a tag of its own.
    const QList<Screenshot> first = makeLibrary();
    const QList<Screenshot> second = first.mid(1);
    QList<Screenshot> last = first;
    last[0].customTags = {kFinalTag};

    AppServices services(AppServices::Options{.settingsPath = home.filePath(u"settings.conf"_s),
                                              .databasePath = home.filePath(u"store.sqlite"_s),
                                              .memorySource = std::make_unique<PlentyOfMemory>(),
                                              .analyzer = std::make_shared<NothingAnalyzer>(),
                                              .spellChecker = std::make_shared<NullSpellChecker>()});
    ScreenshotMonitor& monitor = services.monitor();
    MainAppView view(services);
    view.resize(1200, 800);
    view.show();
    view.select(MainAppView::SidebarItem::quickLinks);
    int builds = 0;
    QObject::connect(&view.rebuilder(), &CollectionRebuilder::buildStarted, [&builds] { ++builds; });
    pause(500);

    int maxInFlight = 0;
    qint64 maxStallNs = 0;
    QElapsedTimer sinceTick;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        maxStallNs = std::max(maxStallNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
        maxInFlight = std::max(maxInFlight, view.rebuilder().buildsInFlight());
    });

    QElapsedTimer total;
    total.start();
    sinceTick.start();
    probe.start();
    for (int i = 0; i < kPublishes; ++i) {
        ScreenshotMonitorTestAccess::setScreenshots(monitor, i == kPublishes - 1 ? last : (i % 2 ? second : first));
        maxInFlight = std::max(maxInFlight, view.rebuilder().buildsInFlight());
        pause(kPublishIntervalMs);
    }
    const double publishMs = total.elapsed();
    while (view.rebuilder().isBuilding() && total.elapsed() < 30'000)
        pause(5);
    probe.stop();

    bool lastApplied = false;
    for (const SmartCollection& c : view.collections())
        lastApplied = lastApplied || c.name == kFinalTag;

    QTextStream(stdout) << "publishes: " << kPublishes << " in " << publishMs << " ms; builds: " << builds
                        << "; collections shown: " << view.collections().size() << "\n";
    Console::setSink({});
    ResultLine(u"mainview"_s)
        .add(u"max_builds_in_flight"_s, maxInFlight, 0)
        .add(u"max_gui_stall_ms"_s, maxStallNs / 1e6)
        .add(u"builds"_s, builds, 0)
        .add(u"last_list_applied"_s, lastApplied ? 1 : 0, 0)
        .add(u"publishes"_s, kPublishes, 0)
        .add(u"screenshots"_s, kScreenshots, 0)
        .print();
    return lastApplied ? 0 : 1;
}
