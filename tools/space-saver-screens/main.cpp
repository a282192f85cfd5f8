// space-saver-screens <output-dir>
// Shows the main view on the space saver over a scratch folder of generated
// screenshots and photos, and saves it as a user meets it:
//   space-saver-empty.png (a library with nothing in it),
//   space-saver.png (statistics), space-saver-analyzing.png (a plan being
//   made), space-saver-plan.png (a plan and the quality choice),
//   space-saver-progress.png (a run under way), space-saver-success.png (the
//   run done, with what it saved and the images it left as they were) and
//   space-saver-error.png (a run undone after a failure).
// Everything lives in a scratch folder; the user's files are never touched.
#include "app/AppServices.h"
#include "app/MainAppView.h"
#include "core/MemoryMonitor.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/SpellChecker.h"
#include "spacesaver/CompressionService.h"
#include "spacesaver/SpaceSaverView.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "support/MonitorServices.h"
#include "ui/AppStyle.h"
#include "ui/Motion.h"
#include "ui/SymbolRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

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

void writeLibrary(const QString& folder, const QString& prefix)
{
    QDir().mkpath(folder);
    const QList<QSize> sizes{{1920, 1080}, {1440, 900}, {2560, 1440}, {1680, 1050}};
    for (int i = 0; i < 9; ++i)
        picture(i, sizes[i % sizes.size()]).save(QDir(folder).filePath(u"%1 %2.png"_s.arg(prefix).arg(i + 1)));
    for (int i = 0; i < 3; ++i)
        picture(20 + i, QSize(2016, 1512))
            .save(QDir(folder).filePath(u"%1 Photo %2.jpg"_s.arg(prefix).arg(i + 1)), "JPG", 95);
    HeicWriter::write(picture(30, QSize(1440, 900)), QDir(folder).filePath(prefix + u" Earlier.heic"_s), 60, nullptr,
                      "ultrafast");
}

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()>& condition, int ms = 60'000)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < ms)
        pause(20);
    return condition();
}

// Saves what the window shows now, without turning the event loop (a state
// that ends at the next turn, such as a plan being made, is still on screen).
bool saveNow(QWidget& window, const QString& folder, const QString& name)
{
    for (int level = 0; level < 8; ++level) // each level of nesting posts to the next
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QString path = QDir(folder).filePath(name);
    if (!window.grab().save(path)) {
        QTextStream(stderr) << "could not write " << path << "\n";
        return false;
    }
    QTextStream(stdout) << "wrote " << path << "\n";
    return true;
}

bool save(QWidget& window, const QString& folder, const QString& name)
{
    pause(200);
    return saveNow(window, folder, name);
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
    ScreenshotMonitor& monitor = services.monitor();
    monitor.changeMonitoredFolder(folder);
    if (!waitFor([&] { return monitor.isPolling(); }))
        return 1;

    CompressionService& service = services.compression();
    // The encoder waits at the fourth image until the progress is saved.
    std::counting_semaphore<16> gate(3);
    const CompressionService::Encoder real = service.encoder();
    service.setEncoder([&gate, real](const QImage& image, int quality) {
        gate.acquire();
        return real(image, quality);
    });

    MainAppView view(services);
    view.resize(1200, 800);
    view.show();
    view.select(MainAppView::SidebarItem::spaceSaver);
    auto* screen = view.findChild<SpaceSaverView*>();
    if (!screen)
        return 1;
    SpaceSaverViewModel& model = screen->viewModel();
    // The screen analyses the library each time it is shown; nothing found
    // yet is the empty library.
    bool ok = waitFor([&] { return monitor.screenshots().isEmpty() && model.totalFiles() == 0; }) &&
              save(view, output, u"space-saver-empty.png"_s);

    writeLibrary(folder, u"Screenshot"_s);
    monitor.forceChangeCheck();
    ok = waitFor([&] { return monitor.screenshots().size() == 13; }) && ok;
    model.analyze();
    ok = waitFor([&] { return model.totalFiles() == 13; }) && save(view, output, u"space-saver.png"_s) && ok;

    // The actions are at the end of the column.
    if (auto* scroll = screen->findChild<QScrollArea*>())
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    model.createPlan();
    ok = model.isAnalyzing() && saveNow(view, output, u"space-saver-analyzing.png"_s) && ok;
    ok = waitFor([&] { return model.plan().has_value() && !model.isAnalyzing(); }) && ok;
    // With the quality choice shown, the column is longer.
    pause(100);
    if (auto* scroll = screen->findChild<QScrollArea*>())
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    ok = save(view, output, u"space-saver-plan.png"_s) && ok;

    // One encoder at a time, so that the three the gate lets through are the
    // first three of the plan and the run stops, visibly, at the fourth
    // (several encoders could let later images through and hold an earlier
    // one, and the progress would stop short of 3). The run keeps the options
    // it started with; the choice on screen goes back to the one shown.
    const CompressionService::CompressionOptions shown = model.selectedQuality();
    model.setSelectedQuality({shown.quality, 1});
    model.compress();
    model.setSelectedQuality(shown);
    ok = waitFor([&] { return model.compressionProgress().current == 3; }) &&
         save(view, output, u"space-saver-progress.png"_s) && ok;
    gate.release(16);
    ok = waitFor([&] { return model.showingSuccess(); }) && save(view, output, u"space-saver-success.png"_s) && ok;
    model.dismissSuccess();

    // A run whose encoder gives up at its first image is undone.
    writeLibrary(folder, u"Capture"_s);
    monitor.forceChangeCheck();
    ok = waitFor([&] { return monitor.screenshots().size() == 26; }) && ok;
    model.analyze();
    service.setEncoder([](const QImage&, int) { return HeicWriter::Encoded{{}, u"gave up"_s, false}; });
    model.createPlan();
    ok = waitFor([&] { return model.plan().has_value() && !model.isAnalyzing(); }) && ok;
    model.compress();
    ok = waitFor([&] { return model.failureMessage().has_value(); }) &&
         save(view, output, u"space-saver-error.png"_s) && ok;

    if (!SymbolRegistry::unknownRequests().isEmpty()) {
        QTextStream(stderr) << "unknown symbols: " << SymbolRegistry::unknownRequests().join(u", ") << "\n";
        return 1;
    }
    return ok ? 0 : 1;
}
