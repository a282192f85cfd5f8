// The collections and quick-links screens at the scale of a large library:
// 2,000 web domains and 500 folder collections (with the recent days and 40
// tags). For each screen and mode, in a 1200 by 800 window:
//   first paint: from construction to the first frame on screen;
//   rebuild: a new list applied to the shown screen (counts changed, one
//     entry added), up to the next frame;
//   scroll: one frame per 120-pixel wheel step from top to bottom (p50, p95
//     and the longest);
//   keystroke (quick links): one character of a search typed, up to the frame.
// A frame must stay under 8 ms to keep 120 Hz scrolling smooth.

#include "core/Settings.h"
#include "gallery/CollectionsGridView.h"
#include "gallery/QuickLinkViewMode.h"
#include "gallery/QuickLinksView.h"
#include "support/BenchSupport.h"
#include "ui/AppStyle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {
constexpr int kDomains = 2000;
constexpr int kFolders = 500;
constexpr int kTags = 40;
constexpr int kWheelStep = 120;

SmartCollection make(const QString& name, CollectionType type, const QString& icon, SystemColor color, qint64 count)
{
    SmartCollection c;
    c.id = QUuid::createUuid();
    c.name = name;
    c.type = type;
    c.icon = icon;
    c.color = color;
    c.itemCount = count;
    return c;
}

QList<SmartCollection> domains(int shift)
{
    QList<SmartCollection> result;
    for (int i = 0; i < kDomains + shift; ++i)
        result.append(make(u"site%1.example.com"_s.arg(i), CollectionType::link, u"link"_s, SystemColor::indigo,
                           kDomains - i + shift));
    return result;
}

QList<SmartCollection> library(int shift)
{
    QList<SmartCollection> result = {
        make(u"Today"_s, CollectionType::recap, u"sun.max.fill"_s, SystemColor::orange, 0),
        make(u"Yesterday"_s, CollectionType::recap, u"clock.arrow.circlepath"_s, SystemColor::blue, 0),
        make(u"Last 7 Days"_s, CollectionType::recap, u"calendar"_s, SystemColor::purple, 0),
        make(u"Last 30 Days"_s, CollectionType::recap, u"calendar.badge.clock"_s, SystemColor::pink, 0),
        make(u"Videos"_s, CollectionType::smart, u"play.tv.fill"_s, SystemColor::cyan, 0)};
    for (int i = 0; i < kFolders + shift; ++i)
        result.append(make(u"Project %1 › Screens"_s.arg(i), CollectionType::folder, u"folder.fill"_s,
                           SystemColor::yellow, i + shift));
    for (int i = 0; i < kTags; ++i)
        result.append(make(u"Tag %1"_s.arg(i), CollectionType::userTag, u"tag.fill"_s, SystemColor::orange, i));
    return result;
}

// Runs `change`, then lets the window paint what it changed.
double frameMs(const std::function<void()>& change)
{
    QElapsedTimer timer;
    timer.start();
    change();
    QApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

struct Figures
{
    double firstPaintMs = 0;
    double rebuildMs = 0;
    double scrollP50Ms = 0;
    double scrollP95Ms = 0;
    double scrollMaxMs = 0;
    int frames = 0;
};

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.at(std::min<qsizetype>(values.size() - 1, qsizetype(p * values.size())));
}

template <typename Screen>
Figures measure(const std::function<Screen*()>& make, const std::function<void(Screen&)>& rebuild)
{
    Figures figures;
    Screen* screen = nullptr;
    figures.firstPaintMs = frameMs([&] {
        screen = make();
        screen->resize(1200, 800);
        screen->show();
    });
    figures.rebuildMs = frameMs([&] { rebuild(*screen); });
    QScrollBar* bar = screen->scrollArea()->verticalScrollBar();
    QList<double> frames;
    for (int value = kWheelStep; value <= bar->maximum() + kWheelStep; value += kWheelStep)
        frames.append(frameMs([&] { bar->setValue(value); }));
    figures.frames = int(frames.size());
    figures.scrollP50Ms = percentile(frames, 0.5);
    figures.scrollP95Ms = percentile(frames, 0.95);
    figures.scrollMaxMs = percentile(frames, 1.0);
    delete screen;
    return figures;
}

void report(const char* what, const Figures& f)
{
    QTextStream(stdout) << what << ": first paint " << f.firstPaintMs << " ms, rebuild " << f.rebuildMs
                        << " ms, scroll p50 " << f.scrollP50Ms << " / p95 " << f.scrollP95Ms << " / max "
                        << f.scrollMaxMs << " ms over " << f.frames << " frames\n";
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
    applyDarkStyle(app);
    Settings settings(home.filePath(u"settings.conf"_s));
    const QList<SmartCollection> links = domains(0);
    const QList<SmartCollection> newLinks = domains(1);
    const QList<SmartCollection> collections = library(0);
    const QList<SmartCollection> newCollections = library(1);

    auto quickLinks = [&](QuickLinkViewMode mode) {
        storeQuickLinkViewMode(settings, mode);
        return measure<QuickLinksView>([&] { return new QuickLinksView(links, {}, settings); },
                                       [&](QuickLinksView& s) { s.setCollections(newLinks); });
    };
    auto collectionsScreen = [&](CollectionsGridView::ViewMode mode) {
        return measure<CollectionsGridView>(
            [&] {
                auto* screen = new CollectionsGridView(collections, {});
                screen->setViewMode(mode);
                return screen;
            },
            [&](CollectionsGridView& s) { s.setCollections(newCollections); });
    };
    const Figures linksGrid = quickLinks(QuickLinkViewMode::grid);
    const Figures linksList = quickLinks(QuickLinkViewMode::list);
    const Figures collectionsGrid = collectionsScreen(CollectionsGridView::ViewMode::grid);
    const Figures collectionsList = collectionsScreen(CollectionsGridView::ViewMode::list);
    report("quick links, grid", linksGrid);
    report("quick links, list", linksList);
    report("collections, grid", collectionsGrid);
    report("collections, list", collectionsList);

    // Typing a search that narrows 2,000 domains step by step, then clearing it.
    QuickLinksView search(links, {}, settings);
    search.resize(1200, 800);
    search.show();
    QApplication::processEvents();
    QList<double> keystrokes;
    QString typed;
    for (const QChar c : u"site19"_s) {
        typed += c;
        keystrokes.append(frameMs([&] { search.searchField()->setText(typed); }));
    }
    keystrokes.append(frameMs([&] { search.searchField()->clear(); }));
    const double keystrokeMaxMs = percentile(keystrokes, 1.0);
    QTextStream(stdout) << "quick links, search: longest keystroke " << keystrokeMaxMs << " ms\n";

    const double worstScrollP95 = std::max(
        {linksGrid.scrollP95Ms, linksList.scrollP95Ms, collectionsGrid.scrollP95Ms, collectionsList.scrollP95Ms});
    ResultLine(u"collectionscreens"_s)
        .add(u"domains"_s, kDomains, 0)
        .add(u"folders"_s, kFolders, 0)
        .add(u"links_grid_first_paint_ms"_s, linksGrid.firstPaintMs)
        .add(u"links_list_first_paint_ms"_s, linksList.firstPaintMs)
        .add(u"collections_grid_first_paint_ms"_s, collectionsGrid.firstPaintMs)
        .add(u"collections_list_first_paint_ms"_s, collectionsList.firstPaintMs)
        .add(u"links_rebuild_ms"_s, std::max(linksGrid.rebuildMs, linksList.rebuildMs))
        .add(u"collections_rebuild_ms"_s, std::max(collectionsGrid.rebuildMs, collectionsList.rebuildMs))
        .add(u"scroll_frame_p95_ms"_s, worstScrollP95)
        .add(u"scroll_frame_max_ms"_s, std::max({linksGrid.scrollMaxMs, linksList.scrollMaxMs,
                                                 collectionsGrid.scrollMaxMs, collectionsList.scrollMaxMs}))
        .add(u"keystroke_max_ms"_s, keystrokeMaxMs)
        .print();
    return 0;
}
