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
#include "render/Shots.h"
#include "support/MonitorServices.h"
#include "support/MonitorTestAccess.h"
#include "ui/AppStyle.h"
#include "ui/PlainButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
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

void tourCollections(MainAppView& view, render::Shots& shots)
{
    view.select(MainAppView::SidebarItem::smartGroups);
    auto* screen = qobject_cast<CollectionsGridView*>(view.detailWidget());
    if (!shots.reach(screen != nullptr, u"the collections screen"_s))
        return;
    shots.save(view, u"collections-grid.png"_s);
    hover(screen->tiles(), screen->tiles()->tileRect({0, 1}));
    if (shots.awaitStill(view, u"the hovered collection's spring"_s))
        shots.save(view, u"collections-grid-hover.png"_s);
    leave(screen->tiles());
    screen->modeSwitch()->button(1)->click();
    hover(screen->tiles(), screen->tiles()->tileRect({1, 0}));
    shots.save(view, u"collections-list.png"_s);
    leave(screen->tiles());
}

void saveChipToolTip(MainAppView& view, QuickLinksView& screen, render::Shots& shots);

void tourQuickLinks(MainAppView& view, render::Shots& shots)
{
    view.select(MainAppView::SidebarItem::quickLinks);
    auto* screen = qobject_cast<QuickLinksView*>(view.detailWidget());
    if (!shots.reach(screen != nullptr, u"the quick links screen"_s))
        return;
    screen->setViewMode(QuickLinkViewMode::grid);
    shots.save(view, u"quicklinks-grid.png"_s);
    hover(screen->tiles(), screen->tiles()->tileRect({0, 1}));
    if (shots.awaitStill(view, u"the hovered link's spring"_s))
        shots.save(view, u"quicklinks-grid-hover.png"_s);
    hover(screen->tiles(), screen->tiles()->tileRect({1, 2}));
    if (shots.awaitStill(view, u"the hovered chip's spring"_s))
        shots.save(view, u"quicklinks-grid-chip-hover.png"_s);
    leave(screen->tiles());
    screen->modeSwitch()->button(1)->click();
    hover(screen->tiles(), screen->tiles()->tileRect({0, 2}));
    shots.save(view, u"quicklinks-list.png"_s);
    leave(screen->tiles());
    screen->modeSwitch()->button(0)->click();
    const qsizetype all = screen->filteredCollections().size();
    screen->searchField()->setText(u"GOO"_s);
    if (shots.await([&] { return screen->filteredCollections().size() < all; }, u"the links found for \"GOO\""_s))
        shots.save(view, u"quicklinks-search.png"_s);
    screen->searchField()->setText(u"xyzzy"_s);
    if (shots.await([&] { return screen->filteredCollections().isEmpty(); }, u"no links for \"xyzzy\""_s))
        shots.save(view, u"quicklinks-nomatch.png"_s);
    screen->searchField()->clear();
    shots.await([&] { return screen->filteredCollections().size() == all; }, u"every link again"_s);
    saveChipToolTip(view, *screen, shots);
}

// The longest domain, a chip cut short, with its tooltip over the window.
void saveChipToolTip(MainAppView& view, QuickLinksView& screen, render::Shots& shots)
{
    const QList<SmartCollection> shown = screen.filteredCollections();
    const auto longest = std::max_element(shown.cbegin(), shown.cend(),
                                          [](const auto& a, const auto& b) { return a.name.size() < b.name.size(); });
    if (!shots.reach(longest != shown.cend(), u"a link chip to point at"_s))
        return;
    TileSections* tiles = screen.tiles();
    const QPoint at = screen.entryRect(longest->id).center();
    hover(tiles, screen.entryRect(longest->id));
    QHelpEvent help(QEvent::ToolTip, at, tiles->mapToGlobal(at));
    QCoreApplication::sendEvent(tiles, &help);
    QWidget* tip = nullptr;
    const auto tipShown = [&] {
        const auto windows = QApplication::topLevelWidgets();
        const auto found = std::find_if(windows.cbegin(), windows.cend(),
                                        [](QWidget* w) { return w->isVisible() && w->inherits("QTipLabel"); });
        tip = found == windows.cend() ? nullptr : *found;
        return tip && QToolTip::text() == longest->name;
    };
    // The tip draws itself whole whatever its fade has reached on screen.
    if (shots.await(tipShown, u"the tooltip over "_s + longest->name))
        shots.saveWith(view, *tip, u"quicklinks-chip-tooltip.png"_s, false);
    QToolTip::hideText();
    leave(tiles);
}

// A library whose only collections are web domains, then an empty library.
void tourEmptyScreens(MainAppView& view, ScreenshotMonitor& monitor, render::Shots& shots)
{
    QList<SmartCollection> linksOnly;
    for (const SmartCollection& collection : view.collections())
        if (collection.type == CollectionType::link)
            linksOnly.append(collection);
    view.applyCollections(linksOnly);
    view.select(MainAppView::SidebarItem::smartGroups);
    shots.save(view, u"collections-empty.png"_s);

    ScreenshotMonitorTestAccess::setScreenshots(monitor, {});
    const auto hasLinks = [&view] {
        return std::any_of(view.collections().cbegin(), view.collections().cend(),
                           [](const SmartCollection& c) { return c.type == CollectionType::link; });
    };
    if (!shots.await([&] { return !hasLinks() && !view.rebuilder().isBuilding(); },
                     u"the collections of an empty library"_s))
        return;
    view.select(MainAppView::SidebarItem::quickLinks);
    shots.save(view, u"quicklinks-empty.png"_s);
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
    render::Shots shots(output);
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
    if (!shots.await([&] { return !view.isAnalyzing() && !view.rebuilder().isBuilding(); },
                     u"the library's collections"_s))
        return shots.finish();

    tourCollections(view, shots);
    tourQuickLinks(view, shots);
    tourEmptyScreens(view, monitor, shots);
    return shots.finish();
}
