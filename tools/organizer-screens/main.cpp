// organizer-screens <output-dir>
// Runs the re-organizer screen on a scratch folder of 120 screenshots over
// two years and saves it as a user meets it:
//   organizer-analyzing.png (the analysis under way, "Analyzing..."),
//   organizer-plan-flat.png and organizer-plan-year.png (plans into the flat
//   and the year-only layout), organizer-plan.png (by year and month),
//   organizer-progress.png (the run part-way), organizer-success.png,
//   organizer-history.png (three runs in the history) and
//   organizer-history-collapsed.png (the same list folded away).
// Everything lives in a scratch home: no user file or store is touched.
#include "core/DatabaseManager.h"
#include "core/DateText.h"
#include "core/MemoryMonitor.h"
#include "core/ProcMemorySource.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "organize/ActionButtonsSection.h"
#include "organize/ConfigurationSection.h"
#include "organize/HistoryTimelineSection.h"
#include "organize/PremiumReOrganizerView.h"
#include "organize/ReOrganizerViewModel.h"
#include "organize/SmartToggle.h"
#include "platform/FileOps.h"
#include "platform/FolderChooser.h"
#include "support/MonitorServices.h"
#include "ui/AppStyle.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/SymbolRegistry.h"
#include "ui/ToggleSwitch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
constexpr int fileCount = 120;
constexpr int pauseAt = 47;

class PresetFolderChooser : public FolderChooser
{
public:
    explicit PresetFolderChooser(QString folder)
        : m_folder(std::move(folder))
    {}
    std::optional<QString> chooseFolder(const Request&) override { return m_folder; }

private:
    QString m_folder;
};

// The real service, holding its first analysis and its run at one file until
// let go, so that "Analyzing..." and the progress overlay can be seen.
class PausingOrganizer : public OrganizeService
{
public:
    using OrganizeService::OrganizeService;
    QSemaphore reached;
    QSemaphore resume;
    mutable QSemaphore analysisReached;
    mutable QSemaphore analysisResume;
    mutable bool holdAnalysis = true;

    OrganizationPlan analyze(const OrganizationOptions& options) const override
    {
        if (std::exchange(holdAnalysis, false)) {
            analysisReached.release();
            analysisResume.acquire();
        }
        return OrganizeService::analyze(options);
    }

    OrganizationResult organize(const OrganizationPlan& plan, const Progress& progress) override
    {
        return OrganizeService::organize(plan, [this, &progress](int current, int total) {
            progress(current, total);
            if (current == pauseAt) {
                reached.release();
                resume.acquire();
            }
        });
    }
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10'000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return condition();
}

bool save(QWidget& window, const QString& folder, const QString& name)
{
    waitFor([] { return false; }, 150); // let queued rebuilds and paints land
    const QString path = QDir(folder).filePath(name);
    if (!window.grab().save(path)) {
        QTextStream(stderr) << "could not write " << path << "\n";
        return false;
    }
    QTextStream(stdout) << "wrote " << path << "\n";
    return true;
}

// Small pictures with screenshot names and dates over two years, with rows.
void makeLibrary(const QString& folder, DatabaseManager& store)
{
    QList<Screenshot> rows;
    const QDateTime newest(QDate(2026, 2, 20), QTime(16, 42, 10));
    for (int i = 0; i < fileCount; ++i) {
        const QDateTime taken = newest.addSecs(-qint64(i) * 6 * 86400 - i * 977);
        const QString sub = i % 5 == 0 ? u"/Projects"_s : QString();
        const QString path =
            folder + sub + u"/Screenshot "_s + taken.toString(u"yyyy-MM-dd 'at' HH.mm.ss"_s) + u".png"_s;
        QDir().mkpath(folder + sub);
        QImage image(64, 40, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 37 % 360, 120, 200));
        image.save(path);
        Screenshot row(path, QUuid::createUuid());
        row.dateCreated = taken;
        rows.append(row);
    }
    store.upsertMany(rows);
}

// A run of `secondsAgo`, described as the re-organizer writes it.
OrganizeService::HistoryOperation pastRun(const QString& folder, const QString& whatWasDone, int moved,
                                          qint64 secondsAgo)
{
    const QDateTime when = QDateTime::currentDateTimeUtc().addSecs(-secondsAgo);
    const QString description = DateText::mediumDateAndTime(when) + u": "_s + whatWasDone;
    return {
        QUuid::createUuid(), when, description, moved, {true, false, false}, {when, QUrl::fromLocalFile(folder), {}}};
}

void click(QAbstractButton* button)
{
    button->click();
}
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        QTextStream(stderr) << "usage: organizer-screens <output-dir>\n";
        return 2;
    }
    QTemporaryDir scratch;
    for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, QFile::encodeName(scratch.filePath(QString::fromLatin1(variable))));
    QApplication app(argc, argv);
    applyDarkStyle(app);
    Motion::setInstant(true);
    const QString output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(output);

    const QString folder = scratch.filePath(u"Screenshots"_s);
    QDir().mkpath(folder);
    Settings settings(scratch.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<ProcMemorySource>(), std::chrono::hours(1));
    DatabaseManager store(scratch.filePath(u"data/Brindlework.sqlite"_s));
    MonitorServices parts;
    ScreenshotMonitor monitor(parts.with(settings, memory, store));
    monitor.setFolderChooser(std::make_unique<PresetFolderChooser>(folder));
    makeLibrary(folder, store);
    monitor.requestFolderAccess();
    SystemFileOps fileOps;
    PausingOrganizer organizer(store, monitor, fileOps, scratch.filePath(u"data"_s));
    OrganizeService::OrganizationHistory history;
    history.add(pastRun(folder, u"Organized 12 file(s) from Screenshots into flat structure"_s, 12, 6 * 86400));
    history.add(pastRun(folder, u"Organized 38 file(s) from Screenshots into year folders"_s, 38, 2 * 86400 + 3600));
    organizer.saveHistory(history);
    waitFor([&monitor] { return monitor.screenshots().size() >= fileCount; }, 5000);

    PremiumReOrganizerView screen(monitor, organizer);
    screen.setWindowTitle(u"Glimmerdeck"_s);
    screen.resize(980, 1160);
    screen.show();
    ReOrganizerViewModel& model = screen.viewModel();
    const auto analyse = [&] {
        click(screen.actions()->analyzeButton());
        return waitFor([&model] { return model.plan().has_value() && !model.isAnalyzing(); });
    };

    // The analysis held, then let go: the flat layout.
    click(screen.actions()->analyzeButton());
    bool ok = waitFor([&organizer] { return organizer.analysisReached.available() > 0; }) && model.isAnalyzing();
    ok = ok && save(screen, output, u"organizer-analyzing.png"_s);
    organizer.analysisResume.release();
    ok = ok && waitFor([&model] { return model.plan().has_value() && !model.isAnalyzing(); });
    screen.resize(980, 1580);
    ok = ok && save(screen, output, u"organizer-plan-flat.png"_s);

    click(screen.actions()->cancelButton());
    click(screen.configuration()->yearToggle()->toggle());
    screen.resize(980, 1600);
    ok = ok && analyse() && save(screen, output, u"organizer-plan-year.png"_s);

    click(screen.actions()->cancelButton());
    click(screen.configuration()->monthToggle()->toggle());
    screen.resize(980, 1620);
    ok = ok && analyse() && save(screen, output, u"organizer-plan.png"_s);

    screen.resize(980, 900);
    click(screen.actions()->organizeButton());
    ok = ok && waitFor([&organizer] { return organizer.reached.available() > 0; });
    ok = ok && waitFor([&model] { return model.organizationProgress().current == pauseAt; });
    ok = ok && save(screen, output, u"organizer-progress.png"_s);
    organizer.resume.release();
    ok = ok && waitFor([&model] { return model.showingSuccess(); });
    ok = ok && save(screen, output, u"organizer-success.png"_s);
    model.dismissSuccess();

    // The run just made and the two before it.
    screen.resize(980, 1300);
    ok = ok && save(screen, output, u"organizer-history.png"_s);
    click(screen.history()->headingButton());
    ok = ok && waitFor([&screen] { return !screen.history()->isExpanded(); });
    screen.resize(980, 1000);
    ok = ok && save(screen, output, u"organizer-history-collapsed.png"_s);
    if (!SymbolRegistry::unknownRequests().isEmpty()) {
        QTextStream(stderr) << "unknown symbols: " << SymbolRegistry::unknownRequests().join(u", ") << "\n";
        return 1;
    }
    return ok ? 0 : 1;
}
