// collection-screens <output-dir>
// Shows the main view over a made-up library (recent days, videos, four
// folders, four tags and about 30 web domains) and saves the collections and
// quick-links screens as a user meets them:
//   collections-grid.png, collections-grid-hover.png, collections-list.png,
//   quicklinks-grid.png, quicklinks-grid-hover.png, quicklinks-list.png,
//   quicklinks-search.png (a few matches), quicklinks-nomatch.png,
//   quicklinks-chip-tooltip.png (a domain cut short, named in full under the
//   pointer); then collections-empty.png ("No collections found": only web
//   domains) and, over an empty library, quicklinks-empty.png ("No links
//   detected yet").
// Nothing is read from or written to the user's files: the monitor never
// starts and the settings live in a scratch folder.
#include "app/AppServices.h"
#include "app/MainAppView.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "gallery/CollectionsGridView.h"
#include "gallery/QuickLinkViewMode.h"
#include "gallery/QuickLinksView.h"
#include "gallery/SymbolSwitch.h"
#include "gallery/TileSections.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/SpellChecker.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "ui/AppStyle.h"
#include "ui/PlainButton.h"
#include "ui/SymbolRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <random>

using namespace Qt::StringLiterals;

namespace {
class AmpleMemory : public MemoryMonitor::Source
{
public:
    double residentMB() override { return 100; }
    std::optional<qint64> availableBytes() override { return qint64(8) << 30; }
    qint64 physicalBytes() override { return qint64(16) << 30; }
};

const QStringList domains = {
    u"github.com"_s,
    u"stackoverflow.com"_s,
    u"docs.qt.io"_s,
    u"developer.mozilla.org"_s,
    u"en.wikipedia.org"_s,
    u"news.ycombinator.com"_s,
    u"youtube.com"_s,
    u"figma.com"_s,
    u"dribbble.com"_s,
    u"medium.com"_s,
    u"reddit.com"_s,
    u"twitter.com"_s,
    u"linkedin.com"_s,
    u"notion.so"_s,
    u"trello.com"_s,
    u"airbnb.com"_s,
    u"booking.com"_s,
    u"amazon.com"_s,
    u"ebay.com"_s,
    u"maps.google.com"_s,
    u"calendar.google.com"_s,
    u"mail.google.com"_s,
    u"arxiv.org"_s,
    u"cppreference.com"_s,
    u"gitlab.com"_s,
    u"crates.io"_s,
    u"npmjs.com"_s,
    u"pypi.org"_s,
    u"apple.com"_s,
    u"a-very-long-subdomain.documentation.example-company.com"_s,
};
const QStringList folders = {u"Work"_s, u"Work/2024"_s, u"Receipts"_s, u"Design Inspiration"_s, u"Travel"_s};
const QStringList tags = {u"Invoices"_s, u"Bugs to report"_s, u"Recipes"_s, u"Ideas"_s};

// 400 screenshots over the last five weeks: a few videos, a third in
// sub-folders, some tagged, and links whose hosts follow a long tail.
QList<Screenshot> makeLibrary(const QString& root)
{
    std::mt19937 random(11);
    auto pick = [&random](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    auto chance = [&random](double p) { return std::bernoulli_distribution(p)(random); };
    const QDateTime now = QDateTime::currentDateTime();
    QList<Screenshot> library;
    for (int i = 0; i < 400; ++i) {
        Screenshot s;
        s.id = QUuid::createUuid();
        const bool video = i % 37 == 0;
        s.filename = u"Screenshot %1.%2"_s.arg(i).arg(video ? u"mov"_s : u"png"_s);
        const QString folder = chance(0.35) ? folders.at(pick(int(folders.size()))) + u'/' : QString();
        s.filePath = root + u'/' + folder + s.filename;
        s.dateCreated = now.addSecs(-qint64(i) * 2 * 3600 - pick(3600));
        s.embedding = QList<double>{0.1, 0.2};
        s.ocrText = u"text"_s;
        if (chance(0.6)) {
            // Host k is about 1/(k+1) as frequent as the first.
            const int host = std::min(int(domains.size()) - 1, int(std::floor(std::exp(std::uniform_real_distribution<>(
                                                                   0, std::log(double(domains.size()) + 1))(random)))) -
                                                                   1);
            s.detectedUrls = QList<QUrl>{QUrl(u"https://"_s + domains.at(host) + u"/page"_s)};
        }
        if (chance(0.12))
            s.customTags.append(tags.at(pick(int(tags.size()))));
        library.append(s);
    }
    // Every domain shows up at least once.
    for (int d = 0; d < domains.size(); ++d)
        library[d].detectedUrls = QList<QUrl>{QUrl(u"https://"_s + domains.at(d) + u"/"_s)};
    return library;
}

// How long an awaited state may take to come on a busy machine.
constexpr int stateBoundMs = 60'000;

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget& window, const QString& folder, const QString& name)
{
    pause(150);
    const QString path = QDir(folder).filePath(name);
    if (!window.grab().save(path)) {
        QTextStream(stderr) << "could not write " << path << "\n";
        return false;
    }
    QTextStream(stdout) << "wrote " << path << "\n";
    return true;
}

// The pointer resting on a tile.
void hover(TileSections* tiles, const QRect& tile)
{
    const QPointF at = tile.center();
    QMouseEvent move(QEvent::MouseMove, at, tiles->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tiles, &move);
}

void leave(TileSections* tiles)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(tiles, &event);
}

bool tourCollections(MainAppView& view, const QString& output)
{
    view.select(MainAppView::SidebarItem::smartGroups);
    auto* screen = qobject_cast<CollectionsGridView*>(view.detailWidget());
    if (!screen)
        return false;
    bool ok = save(view, output, u"collections-grid.png"_s);
    hover(screen->tiles(), screen->tiles()->tileRect({0, 1}));
    pause(600); // the spring settles
    ok = save(view, output, u"collections-grid-hover.png"_s) && ok;
    leave(screen->tiles());
    screen->modeSwitch()->button(1)->click();
    hover(screen->tiles(), screen->tiles()->tileRect({1, 0}));
    ok = save(view, output, u"collections-list.png"_s) && ok;
    leave(screen->tiles());
    return ok;
}

bool saveChipToolTip(MainAppView& view, QuickLinksView& screen, const QString& output);

bool tourQuickLinks(MainAppView& view, const QString& output)
{
    view.select(MainAppView::SidebarItem::quickLinks);
    auto* screen = qobject_cast<QuickLinksView*>(view.detailWidget());
    if (!screen)
        return false;
    screen->setViewMode(QuickLinkViewMode::grid);
    bool ok = save(view, output, u"quicklinks-grid.png"_s);
    hover(screen->tiles(), screen->tiles()->tileRect({0, 1}));
    pause(600);
    ok = save(view, output, u"quicklinks-grid-hover.png"_s) && ok;
    hover(screen->tiles(), screen->tiles()->tileRect({1, 2}));
    pause(600);
    ok = save(view, output, u"quicklinks-grid-chip-hover.png"_s) && ok;
    leave(screen->tiles());
    screen->modeSwitch()->button(1)->click();
    hover(screen->tiles(), screen->tiles()->tileRect({0, 2}));
    ok = save(view, output, u"quicklinks-list.png"_s) && ok;
    leave(screen->tiles());
    screen->modeSwitch()->button(0)->click();
    screen->searchField()->setText(u"GOO"_s);
    ok = save(view, output, u"quicklinks-search.png"_s) && ok;
    screen->searchField()->setText(u"xyzzy"_s);
    ok = save(view, output, u"quicklinks-nomatch.png"_s) && ok;
    screen->searchField()->clear();
    return saveChipToolTip(view, *screen, output) && ok;
}

// The longest domain, a chip cut short, with its tooltip over the window.
bool saveChipToolTip(MainAppView& view, QuickLinksView& screen, const QString& output)
{
    const QList<SmartCollection> shown = screen.filteredCollections();
    const auto longest = std::max_element(shown.cbegin(), shown.cend(),
                                          [](const auto& a, const auto& b) { return a.name.size() < b.name.size(); });
    if (longest == shown.cend())
        return false;
    TileSections* tiles = screen.tiles();
    const QPoint at = screen.entryRect(longest->id).center();
    hover(tiles, screen.entryRect(longest->id));
    QHelpEvent help(QEvent::ToolTip, at, tiles->mapToGlobal(at));
    QCoreApplication::sendEvent(tiles, &help);
    pause(400);
    const auto windows = QApplication::topLevelWidgets();
    const auto found = std::find_if(windows.cbegin(), windows.cend(),
                                    [](QWidget* w) { return w->isVisible() && w->inherits("QTipLabel"); });
    QWidget* tip = found == windows.cend() ? nullptr : *found;
    if (!tip || QToolTip::text() != longest->name) {
        QTextStream(stderr) << "no tooltip over " << longest->name << "\n";
        return false;
    }
    QPixmap picture = view.grab();
    QPainter painter(&picture);
    painter.drawPixmap(view.mapFromGlobal(tip->mapToGlobal(QPoint(0, 0))), tip->grab());
    painter.end();
    QToolTip::hideText();
    leave(tiles);
    const QString path = QDir(output).filePath(u"quicklinks-chip-tooltip.png"_s);
    if (!picture.save(path))
        return false;
    QTextStream(stdout) << "wrote " << path << "\n";
    return true;
}

// A library whose only collections are web domains, then an empty library.
bool tourEmptyScreens(MainAppView& view, ScreenshotMonitor& monitor, const QString& output)
{
    QList<SmartCollection> linksOnly;
    for (const SmartCollection& collection : view.collections())
        if (collection.type == CollectionType::link)
            linksOnly.append(collection);
    view.applyCollections(linksOnly);
    view.select(MainAppView::SidebarItem::smartGroups);
    bool ok = save(view, output, u"collections-empty.png"_s);

    ScreenshotMonitorTestAccess::setScreenshots(monitor, {});
    QElapsedTimer waited;
    waited.start();
    const auto hasLinks = [&view] {
        return std::any_of(view.collections().cbegin(), view.collections().cend(),
                           [](const SmartCollection& c) { return c.type == CollectionType::link; });
    };
    while ((hasLinks() || view.rebuilder().isBuilding()) && waited.elapsed() < stateBoundMs)
        pause(20);
    if (hasLinks()) {
        QTextStream(stderr) << "the collections of an empty library did not come\n";
        return false;
    }
    view.select(MainAppView::SidebarItem::quickLinks);
    return save(view, output, u"quicklinks-empty.png"_s) && ok;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: collection-screens <output-dir>\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);
    applyDarkStyle(application);

    QTemporaryDir scratch;
    Settings settings(scratch.filePath(u"settings.conf"_s));
    // A folder that does not exist: the monitor has nothing to load.
    const QString root = scratch.filePath(u"Screenshots"_s);
    settings.setValue(ScreenshotMonitor::monitoredPathKey, root);
    AppServices services(AppServices::Options{.settingsPath = scratch.filePath(u"settings.conf"_s),
                                              .databasePath = scratch.filePath(u"store.sqlite"_s),
                                              .memorySource = std::make_unique<AmpleMemory>(),
                                              .analyzer = std::make_shared<NothingAnalyzer>(),
                                              .spellChecker = std::make_shared<NullSpellChecker>(),
                                              .dataFolder = scratch.filePath(u"data"_s)});
    ScreenshotMonitor& monitor = services.monitor();
    MainAppView view(services);
    view.rebuilder().setApplyDelayMs(0);
    view.resize(1200, 800);
    view.show();
    ScreenshotMonitorTestAccess::setScreenshots(monitor, makeLibrary(root));
    QElapsedTimer waited;
    waited.start();
    while ((view.isAnalyzing() || view.rebuilder().isBuilding()) && waited.elapsed() < stateBoundMs)
        pause(20);
    if (view.isAnalyzing()) {
        QTextStream(stderr) << "the library's collections did not come\n";
        return 1;
    }

    bool ok = tourCollections(view, output);
    ok = tourQuickLinks(view, output) && ok;
    ok = tourEmptyScreens(view, monitor, output) && ok;
    if (!SymbolRegistry::unknownRequests().isEmpty()) {
        QTextStream(stderr) << "unknown symbols: " << SymbolRegistry::unknownRequests().join(u", ") << "\n";
        return 1;
    }
    return ok ? 0 : 1;
}
