// space-saver-screens <output-dir>
// Shows the main view on the space saver over a scratch folder of generated
// screenshots and photos, and saves it as a user meets it:
//   space-saver-empty.png (a library with nothing in it),
//   space-saver.png (statistics), space-saver-analyzing.png (a plan being
//   made), space-saver-plan.png (a plan and the quality choice),
//   space-saver-progress.png (a run under way), space-saver-success.png (the
//   run done, with what it saved and the images it left as they were),
//   space-saver-skipped.png and space-saver-skipped-plan.png (after it, the
//   figures and the plan without the images found no smaller: nothing to
//   save, "Compress Now" disabled),
//   space-saver-error.png (a run undone after a failure),
//   space-saver-error-smallest.png (the same card in the smallest window) and
//   space-saver-rollback-kept.png (a failed run whose undoing the store
//   refused: both files of each image kept, and named).
// Everything lives in a scratch folder; the user's files are never touched.
#include "app/AppServices.h"
#include "app/ContentView.h"
#include "app/MainAppView.h"
#include "core/MemoryMonitor.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/SpellChecker.h"
#include "render/Shots.h"
#include "spacesaver/CompressionFailureView.h"
#include "spacesaver/CompressionService.h"
#include "spacesaver/SpaceSaverActions.h"
#include "spacesaver/SpaceSaverView.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "support/MonitorServices.h"
#include "ui/AppStyle.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <semaphore>

using namespace Qt::StringLiterals;

namespace {
class AmpleMemory : public MemoryMonitor::Source
{
public:
    double residentMB() override { return 100; }
    std::optional<qint64> availableBytes() override { return qint64(8) << 30; }
    qint64 physicalBytes() override { return qint64(16) << 30; }
};

const QSize photoSize(2016, 1512);

// Colour waves behind a window of text bars: weighs what a real capture
// weighs as PNG.
QImage picture(int index, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] =
                qRgb(int(127.5 + 127 * std::sin((x + index * 40) / 57.0 + y / 83.0)),
                     int(127.5 + 127 * std::sin(x / 91.0 - y / 47.0)), int(127.5 + 127 * std::sin((x + y) / 131.0)));
    }
    QPainter painter(&image);
    const QRect window(size.width() / 8, size.height() / 8, size.width() * 3 / 4, size.height() * 3 / 4);
    painter.fillRect(window, index % 2 ? QColor(0x1E, 0x1E, 0x1E) : QColor(0xFA, 0xFA, 0xFA));
    for (int y = window.top() + 30; y < window.bottom() - 20; y += 22)
        painter.fillRect(window.left() + 30, y, 120 + (y * 37 + index * 91) % (window.width() / 2), 9,
                         index % 2 ? QColor(0xDD, 0xDD, 0xDD) : QColor(0x22, 0x22, 0x22));
    return image;
}

// Which of a library's nine screenshots `image` is (0 for "… 1.png"), told by
// its top-left pixel, where each one's waves start at a different phase; -1
// for a photo. The encoder sees pixels, not names, and the order it sees them
// in is not the plan's: the thread that commits may encode an image itself
// while the encoders' thread takes the next one.
int screenshotIndex(const QImage& image)
{
    if (image.size() == photoSize)
        return -1;
    const int red = qRed(image.pixel(0, 0));
    for (int index = 0; index < 9; ++index)
        if (red == int(127.5 + 127 * std::sin(index * 40 / 57.0)))
            return index;
    return -1;
}

void writeLibrary(const QString& folder, const QString& prefix)
{
    QDir().mkpath(folder);
    const QList<QSize> sizes{{1920, 1080}, {1440, 900}, {2560, 1440}, {1680, 1050}};
    for (int i = 0; i < 9; ++i)
        picture(i, sizes[i % sizes.size()]).save(QDir(folder).filePath(u"%1 %2.png"_s.arg(prefix).arg(i + 1)));
    for (int i = 0; i < 3; ++i)
        picture(20 + i, photoSize).save(QDir(folder).filePath(u"%1 Photo %2.jpg"_s.arg(prefix).arg(i + 1)), "JPG", 95);
    HeicWriter::write(picture(30, QSize(1440, 900)), QDir(folder).filePath(prefix + u" Earlier.heic"_s), 60, nullptr,
                      "ultrafast");
}

// Every wrapped line of the card on show is as tall as its text needs at
// its width: nothing of it is cut.
bool wholeTextShows(QWidget& window)
{
    auto* card = window.findChild<CompressionFailureView*>();
    if (!card || !card->isVisible())
        return false;
    for (const QLabel* label : card->findChildren<QLabel*>())
        if (label->isVisible() && label->wordWrap() && label->height() < label->heightForWidth(label->width()))
            return false;
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: space-saver-screens <output-dir>\n";
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);
    applyDarkStyle(application);
    Motion::setInstant(true);

    QTemporaryDir scratch;
    const QString folder = scratch.filePath(u"Screenshots"_s);
    QDir().mkpath(folder);
    AppServices services(AppServices::Options{.settingsPath = scratch.filePath(u"settings.conf"_s),
                                              .databasePath = scratch.filePath(u"store.sqlite"_s),
                                              .memorySource = std::make_unique<AmpleMemory>(),
                                              .analyzer = std::make_shared<NothingAnalyzer>(),
                                              .spellChecker = std::make_shared<NullSpellChecker>(),
                                              .dataFolder = scratch.filePath(u"data"_s)});
    render::Shots shots(output);
    ScreenshotMonitor& monitor = services.monitor();
    monitor.changeMonitoredFolder(folder);
    if (!shots.await([&] { return monitor.isPolling(); }, u"the monitor watching the folder"_s))
        return shots.finish();

    CompressionService& service = services.compression();
    // The photos, planned first, are encoded; every screenshot waits until
    // the progress after them is saved.
    std::binary_semaphore gate(0);
    const CompressionService::Encoder real = service.encoder();
    service.setEncoder([&gate, real](const QImage& image, int quality) {
        if (image.size() != photoSize) {
            gate.acquire();
            gate.release();
        }
        return real(image, quality);
    });

    MainAppView view(services);
    view.resize(1200, 800);
    view.show();
    view.select(MainAppView::SidebarItem::spaceSaver);
    auto* screen = view.findChild<SpaceSaverView*>();
    if (!shots.reach(screen != nullptr, u"the space saver screen"_s))
        return shots.finish();
    SpaceSaverViewModel& model = screen->viewModel();
    const auto scrollToActions = [screen] {
        if (auto* scroll = screen->findChild<QScrollArea*>())
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    };
    const auto planMade = [&] { return model.plan().has_value() && !model.isAnalyzing(); };

    // The screen analyses the library each time it is shown; nothing found
    // yet is the empty library.
    if (shots.await([&] { return monitor.screenshots().isEmpty() && model.totalFiles() == 0; },
                    u"the figures of the empty library"_s))
        shots.save(view, u"space-saver-empty.png"_s);

    writeLibrary(folder, u"Screenshot"_s);
    monitor.forceChangeCheck();
    shots.await([&] { return monitor.screenshots().size() == 13; }, u"13 files listed"_s);
    model.analyze();
    if (shots.await([&] { return model.totalFiles() == 13; }, u"the figures of 13 files"_s))
        shots.save(view, u"space-saver.png"_s);

    // The actions are at the end of the column.
    scrollToActions();
    if (shots.reach(model.createPlan() && model.isAnalyzing(), u"a plan being made"_s))
        shots.saveNow(view, u"space-saver-analyzing.png"_s);
    if (shots.await(planMade, u"the first plan"_s)) {
        // With the quality choice shown, the column is longer.
        render::settleLayouts();
        scrollToActions();
        shots.save(view, u"space-saver-plan.png"_s);
    }

    // The gate holds the run, visibly, after the three photos.
    shots.reach(model.plan() && model.plan()->files.size() == 12 &&
                    std::all_of(model.plan()->files.cbegin(), model.plan()->files.cbegin() + 3,
                                [](const auto& file) { return file.originalPath.contains(u"Photo"_s); }),
                u"a first plan of 12 that starts with the three photos"_s);
    shots.reach(model.compress(), u"the first run started"_s);
    // Three encodings on a busy machine take what they take; only a run that
    // ended short of them, or one stuck for minutes, is a failure.
    if (shots.awaitWhile([&] { return model.compressionProgress().current == 3; },
                         [&] { return model.isCompressing(); }, u"3 files of the first run done"_s))
        shots.save(view, u"space-saver-progress.png"_s);
    gate.release();
    // One image at a time on a busy machine: the run may take long, but
    // each image comes within the bound.
    shots.reach(render::waitWhileAdvancing([&] { return !model.isCompressing(); },
                                           [&] { return model.compressionProgress().current; }),
                u"the end of the first run"_s);
    if (shots.reach(!model.failureMessage(),
                    u"a first run that succeeds (it failed: "_s + model.failureMessage().value_or(QString()) + u')') &&
        shots.await([&] { return model.showingSuccess(); }, u"the success card"_s))
        shots.save(view, u"space-saver-success.png"_s);
    model.dismissSuccess();

    // The photos the run found no smaller are all that is left to compress:
    // the figures promise nothing from them, and their plan has nothing to run.
    if (auto* scroll = screen->findChild<QScrollArea*>())
        scroll->verticalScrollBar()->setValue(0);
    if (shots.await([&] { return model.compressibleFiles() == 3 && model.potentialSavings() == 0; },
                    u"the figures without the photos found no smaller"_s))
        shots.save(view, u"space-saver-skipped.png"_s);
    model.createPlan();
    if (shots.await(planMade, u"the plan of images found no smaller"_s) &&
        shots.reach(model.plan()->files.isEmpty() &&
                        !screen->findChild<SpaceSaverActions*>()->compressButton()->isEnabled(),
                    u"an empty plan and a disabled \"Compress Now\""_s)) {
        render::settleLayouts();
        scrollToActions();
        shots.save(view, u"space-saver-skipped-plan.png"_s);
    }
    model.cancelPlan();

    // A run whose encoder gives up at its first image is undone.
    writeLibrary(folder, u"Capture"_s);
    monitor.forceChangeCheck();
    shots.await([&] { return monitor.screenshots().size() == 26; }, u"26 files listed"_s);
    model.analyze();
    service.setEncoder([](const QImage&, int) { return HeicWriter::Encoded{{}, u"gave up"_s, false}; });
    model.createPlan();
    shots.await(planMade, u"the second plan"_s);
    model.compress();
    if (shots.await([&] { return model.failureMessage().has_value(); }, u"the failure card"_s)) {
        shots.save(view, u"space-saver-error.png"_s);
        // The smallest window the application allows: the card's whole
        // sentence still shows.
        view.resize(ContentView::minimumContentSize);
        if (shots.await([&] { return view.size() == ContentView::minimumContentSize && wholeTextShows(view); },
                        u"the failure card's whole text in the smallest window"_s))
            shots.save(view, u"space-saver-error-smallest.png"_s);
        view.resize(1200, 800);
    }
    model.dismissFailure();

    // A run that fails at its third screenshot (Capture 7, planned after 9
    // and 8) while the store stops taking writes: the renditions already made
    // cannot be undone in the library, so both files of each are kept, and
    // the card names them. (The photos, planned first, are no smaller as HEIC
    // and leave nothing to undo.) The run commits behind its encoder, so the
    // store stops only once the first two renditions are in the library.
    std::binary_semaphore twoPlaced(0);
    service.setEncoder([&, real](const QImage& image, int quality) {
        const int screenshot = screenshotIndex(image);
        if (screenshot < 0 || screenshot > 6)
            return real(image, quality);
        // The renderer lets Capture 7 go once it has waited for the two
        // placed, whether they came or not; later ones, encoded ahead, fail
        // at once and leave the store alone, since they may come first.
        if (screenshot == 6) {
            twoPlaced.acquire();
            services.store().simulateFault(DatabaseManager::Fault::readOnly);
        }
        return HeicWriter::Encoded{{}, u"gave up"_s, false};
    });
    model.createPlan();
    shots.await(planMade, u"the third plan"_s);
    shots.reach(model.compress(), u"the third run started"_s);
    shots.reach(render::waitWhileAdvancing([&] { return model.compressionProgress().current >= 5; },
                                           [&] { return model.compressionProgress().current; }),
                u"the third run's photos skipped and two renditions placed"_s);
    twoPlaced.release();
    if (shots.reach(render::waitWhileAdvancing([&] { return model.failureMessage().has_value(); },
                                               [&] { return model.compressionProgress().current; }),
                    u"the failure card of the run the store would not undo"_s) &&
        shots.reach(!model.failureOutcome().startsWith(u"Every change"_s),
                    u"files kept after the rollback (the card says: "_s + model.failureOutcome() + u')'))
        shots.save(view, u"space-saver-rollback-kept.png"_s);
    return shots.finish();
}
