// duplicate-screens <output-dir>
// Runs the duplicate finder on a generated sample folder with many copies and
// saves each state a user meets:
//   duplicates-idle.png, duplicates-analyzing.png, duplicates-groups.png,
//   duplicates-marked.png (a group with all but the newest marked),
//   duplicates-rescanning.png ("Scan Again" under way over the groups),
//   duplicates-preview.png, duplicates-preview-gone.png (a member sent to the
//   Trash from the preview), duplicates-preview-last.png (the last copy left,
//   which cannot be deleted), duplicates-empty.png (after "Auto Delete All").
// Everything lives in a scratch home: the sample folder, the store and the
// Trash the deleted copies go to.
#include "core/DatabaseManager.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "duplicates/DuplicateFinderView.h"
#include "duplicates/DuplicateFinderViewModel.h"
#include "duplicates/DuplicateGroupList.h"
#include "duplicates/DuplicateGroupRow.h"
#include "duplicates/DuplicatePreviewView.h"
#include "duplicates/DuplicateThumbnailCard.h"
#include "generators/SampleLibrary.h"
#include "ingest/ScreenshotMonitor.h"
#include "platform/Trash.h"
#include "support/MonitorServices.h"
#include "ui/AppStyle.h"
#include "ui/PlainButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {
class AmpleMemory : public MemoryMonitor::Source
{
public:
    double residentMB() override { return 100; }
    std::optional<qint64> availableBytes() override { return qint64(8) << 30; }
    qint64 physicalBytes() override { return qint64(16) << 30; }
};

class NoAnalysis : public ScreenshotMonitor::FileAnalyzer
{
public:
    std::optional<QString> recognizeText(const QString&) override { return QString(); }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>{}; }
};

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()>& condition, int ms = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < ms)
        pause(20);
    return condition();
}

bool save(QWidget& widget, const QString& folder, const QString& name)
{
    // Layouts asked for by the last change settle before the picture.
    for (int level = 0; level < 4; ++level) // each level of nesting posts to the next
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const bool ok = widget.grab().save(folder + u'/' + name);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(name));
    return ok;
}

bool allThumbnailsIn(const DuplicateGroupList& list)
{
    for (DuplicateGroupRow* row : list.builtRows()) {
        for (DuplicateThumbnailCard* card : row->cards()) {
            if (card->isVisible() && !card->hasThumbnail() && QFileInfo::exists(card->screenshot().filePath))
                return false;
        }
    }
    return true;
}

void writeSampleFolder(const QString& folder)
{
    SampleLibrary::Options options;
    options.folder = folder;
    options.count = 36;
    options.seed = 11;
    options.duplicateShare = 0.4;
    options.recordingEvery = 9;
    options.heicEvery = 12;
    options.webpEvery = 100;
    const auto result = SampleLibrary::write(options);
    for (const QString& error : result.errors)
        std::fprintf(stderr, "%s\n", qPrintable(error));
}
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(name, QFile::encodeName(scratch.filePath(QString::fromLatin1(name))));
    QApplication app(argc, argv);
    applyDarkStyle(app);
    const QString output = app.arguments().value(1, u"."_s);
    QDir().mkpath(output);

    const QString folder = scratch.filePath(u"Desktop/Screenshots"_s);
    writeSampleFolder(folder);
    Settings settings(scratch.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<AmpleMemory>(), std::chrono::hours(1));
    DatabaseManager store(scratch.filePath(u"store.sqlite"_s));
    MonitorServices parts;
    ScreenshotMonitor monitor(parts.with(settings, memory, store, std::make_shared<NoAnalysis>()));
    monitor.changeMonitoredFolder(folder);
    waitFor([&] { return monitor.isPolling() && !monitor.screenshots().isEmpty(); });

    SystemTrash trash;
    DuplicateFinderView view(monitor, store, trash);
    view.resize(1000, 800);
    view.show();
    pause(300);
    bool ok = save(view, output, u"duplicates-idle.png"_s);

    DuplicateFinderViewModel& model = view.viewModel();
    // The picture of an analysis under way, taken at its first report.
    QString progressPicture = u"duplicates-analyzing.png"_s;
    QObject::connect(&model, &DuplicateFinderViewModel::progressChanged, &view, [&] {
        if (!progressPicture.isEmpty() && model.progress().current > 0 && model.isAnalyzing()) {
            ok = save(view, output, progressPicture) && ok;
            progressPicture.clear();
        }
    });
    model.analyze();
    ok = waitFor([&] { return model.result().has_value() && !model.isAnalyzing(); }) && ok;
    if (!progressPicture.isEmpty()) // a quick analysis: its first report
        ok = save(view, output, progressPicture) && ok;
    waitFor([&] { return allThumbnailsIn(*view.groupList()); });
    pause(300);
    ok = save(view, output, u"duplicates-groups.png"_s) && ok;

    if (DuplicateGroupRow* row = view.groupList()->showRow(0)) {
        row->keepNewestButton()->click();
        pause(200);
        ok = save(view, output, u"duplicates-marked.png"_s) && ok;
    }
    // "Scan Again": the groups stay while the header shows the progress.
    progressPicture = u"duplicates-rescanning.png"_s;
    model.analyze();
    ok = waitFor([&] { return !model.isAnalyzing(); }) && ok;
    if (!progressPicture.isEmpty())
        ok = save(view, output, progressPicture) && ok;
    waitFor([&] { return allThumbnailsIn(*view.groupList()); });
    // The preview of a group of screenshots (the largest groups are recordings).
    const auto& groups = view.groupList()->groups();
    const auto pictures = std::find_if(groups.cbegin(), groups.cend(),
                                       [](const auto& group) { return !group.screenshots.first().isVideo(); });
    if (DuplicateGroupRow* row = view.groupList()->showRow(int(std::max<qsizetype>(0, pictures - groups.cbegin()))))
        row->cards().first()->picture()->click();
    ok = waitFor([&] { return view.preview() && view.preview()->hasFullImage(); }) && ok;
    if (DuplicatePreviewView* preview = view.preview()) {
        preview->resize(1100, 820);
        pause(300);
        ok = save(*preview, output, u"duplicates-preview.png"_s) && ok;
        preview->deleteCurrent();
        waitFor([&] { return !model.isAnalyzing(); });
        preview->showPrevious();
        pause(300);
        ok = save(*preview, output, u"duplicates-preview-gone.png"_s) && ok;
        // Down to the last copy of the group, whose "Delete This" is off.
        const int members = int(preview->group().screenshots.size());
        for (int step = 0; step < 4 * members && !preview->isCurrentLastCopy(); ++step) {
            if (!preview->isCurrentGone())
                preview->deleteCurrent();
            else if (preview->currentIndex() + 1 < members)
                preview->showNext();
            else
                preview->showPrevious();
        }
        ok = waitFor([&] { return !model.isAnalyzing() && preview->hasFullImage(); }) && ok;
        pause(300);
        ok = save(*preview, output, u"duplicates-preview-last.png"_s) && ok;
        preview->reject();
    }

    model.autoDeleteKeepingNewest();
    ok = waitFor([&] { return !model.isAnalyzing() && model.result() && model.result()->groups.isEmpty(); }) && ok;
    pause(300);
    ok = save(view, output, u"duplicates-empty.png"_s) && ok;
    return ok ? 0 : 1;
}
