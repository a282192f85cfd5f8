// organizer-screens <output-dir>
// Runs the re-organizer screen on a scratch folder of 120 screenshots over
// two years and saves it as a user meets it:
//   organizer-analyzing.png (the analysis under way, "Analyzing..."),
//   organizer-plan-flat.png and organizer-plan-year.png (plans into the flat
//   and the year-only layout), organizer-plan.png (by year and month),
//   organizer-progress.png (the run part-way), organizer-success.png,
//   organizer-history.png (three runs in the history),
//   organizer-history-collapsed.png (the same list folded away),
//   organizer-run-stopped.png (a run stopped because its undo record could
//   not be saved) and organizer-run-failed-moves.png (a run of which some
//   moves failed), each saying why under the plan.
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
#include "platform/FolderChooser.h"
#include "render/Shots.h"
#include "support/FaultyFileOps.h"
#include "support/MonitorServices.h"
#include "support/OneFolderChooser.h"
#include "ui/AppStyle.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/ToggleSwitch.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
constexpr int fileCount = 120;
constexpr int pauseAt = 47;

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

    OrganizationResult organize(const OrganizationPlan& plan, const Progress& progress, std::stop_token stop) override
    {
        return OrganizeService::organize(
            plan,
            [this, &progress](int current, int total) {
                progress(current, total);
                if (current == pauseAt) {
                    reached.release();
                    resume.acquire();
                }
            },
            std::move(stop));
    }
};

// A small picture with a screenshot's name and date, and its row.
Screenshot makeShot(const QString& folder, const QDateTime& taken, int hue)
{
    const QString path = folder + u"/Screenshot "_s + taken.toString(u"yyyy-MM-dd 'at' HH.mm.ss"_s) + u".png"_s;
    QDir().mkpath(folder);
    QImage image(64, 40, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(hue % 360, 120, 200));
    image.save(path);
    Screenshot row(path, QUuid::createUuid());
    row.dateCreated = taken;
    return row;
}

// Screenshots over two years, a fifth of them in a sub-folder.
void makeLibrary(const QString& folder, DatabaseManager& store)
{
    QList<Screenshot> rows;
    const QDateTime newest(QDate(2026, 2, 20), QTime(16, 42, 10));
    for (int i = 0; i < fileCount; ++i)
        rows.append(makeShot(folder + (i % 5 == 0 ? u"/Projects"_s : QString()),
                             newest.addSecs(-qint64(i) * 6 * 86400 - i * 977), i * 37));
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
    monitor.setFolderChooser(std::make_unique<OneFolderChooser>(folder));
    makeLibrary(folder, store);
    monitor.requestFolderAccess();
    render::Shots shots(output);
    FaultyFileOps fileOps;
    PausingOrganizer organizer(store, monitor, fileOps, scratch.filePath(u"data"_s));
    OrganizeService::OrganizationHistory history;
    history.add(pastRun(folder, u"Organized 12 file(s) from Screenshots into flat structure"_s, 12, 6 * 86400));
    history.add(pastRun(folder, u"Organized 38 file(s) from Screenshots into year folders"_s, 38, 2 * 86400 + 3600));
    organizer.saveHistory(history);
    shots.await([&monitor] { return monitor.screenshots().size() >= fileCount; }, u"the library listed"_s);

    PremiumReOrganizerView screen(monitor, organizer);
    screen.setWindowTitle(u"Glimmerdeck"_s);
    screen.resize(980, 1160);
    screen.show();
    ReOrganizerViewModel& model = screen.viewModel();
    const auto planned = [&model] { return model.plan().has_value() && !model.isAnalyzing(); };
    const auto analyse = [&](const QString& plan) {
        click(screen.actions()->analyzeButton());
        return shots.await(planned, plan);
    };

    // The analysis held, then let go: the flat layout.
    click(screen.actions()->analyzeButton());
    if (shots.await([&organizer] { return organizer.analysisReached.available() > 0; }, u"the analysis held"_s) &&
        shots.reach(model.isAnalyzing(), u"\"Analyzing...\""_s))
        shots.save(screen, u"organizer-analyzing.png"_s);
    organizer.analysisResume.release();
    screen.resize(980, 1580);
    if (shots.await(planned, u"the flat plan"_s))
        shots.save(screen, u"organizer-plan-flat.png"_s);

    click(screen.actions()->cancelButton());
    click(screen.configuration()->yearToggle()->toggle());
    screen.resize(980, 1640);
    if (analyse(u"the plan by year"_s))
        shots.save(screen, u"organizer-plan-year.png"_s);

    click(screen.actions()->cancelButton());
    click(screen.configuration()->monthToggle()->toggle());
    screen.resize(980, 1720);
    if (analyse(u"the plan by year and month"_s))
        shots.save(screen, u"organizer-plan.png"_s);

    screen.resize(980, 900);
    click(screen.actions()->organizeButton());
    if (shots.await([&organizer] { return organizer.reached.available() > 0; }, u"the run held part-way"_s) &&
        shots.await([&model] { return model.organizationProgress().current == pauseAt; },
                    u"the progress at the held file"_s))
        shots.save(screen, u"organizer-progress.png"_s);
    organizer.resume.release();
    if (shots.reach(render::waitWhileAdvancing([&model] { return model.showingSuccess(); },
                                               [&model] { return model.organizationProgress().current; }),
                    u"the success card"_s))
        shots.save(screen, u"organizer-success.png"_s);
    model.dismissSuccess();

    // The run just made and the two before it.
    screen.resize(980, 1300);
    shots.save(screen, u"organizer-history.png"_s);
    click(screen.history()->headingButton());
    screen.resize(980, 1000);
    if (shots.await([&screen] { return !screen.history()->isExpanded(); }, u"the history folded"_s))
        shots.save(screen, u"organizer-history-collapsed.png"_s);

    // Six new screenshots, and runs that cannot do all they planned (the
    // history stays folded, so that the plan and the line under it show).
    QList<Screenshot> late;
    for (int day = 1; day <= 6; ++day)
        late.append(makeShot(folder, QDateTime(QDate(2026, 3, day), QTime(10, 0)), day * 53));
    store.upsertMany(late);
    monitor.forceChangeCheck();
    shots.await([&] { return monitor.screenshots().size() >= fileCount + late.size(); }, u"six new files listed"_s);
    const auto runProblemShown = [&](const QString& state, const QString& picture) {
        click(screen.actions()->organizeButton());
        screen.resize(980, 1480);
        if (shots.await([&] { return !model.isOrganizing() && !model.runProblem().isEmpty(); }, state) &&
            shots.await([&] { return screen.findChild<QLabel*>(u"runProblem"_s)->isVisible(); },
                        u"the line under the plan for "_s + state))
            shots.save(screen, picture);
    };

    // The undo record cannot be saved: the run stops before its first move.
    const QString undoFile = organizer.undoDataFileURL();
    fileOps.failWhen([undoFile](FaultyFileOps::Step step, const QString& path) {
        return step == FaultyFileOps::Step::Write && path.startsWith(undoFile);
    });
    if (analyse(u"the plan of the six new files"_s))
        runProblemShown(u"a run stopped for its undo record"_s, u"organizer-run-stopped.png"_s);

    // Two of the six cannot be moved; the four that moved can be undone.
    const QStringList refused{late[1].filePath, late[4].filePath};
    fileOps.failWhen([refused](FaultyFileOps::Step step, const QString& path) {
        return step == FaultyFileOps::Step::Move && refused.contains(path);
    });
    if (model.plan() || analyse(u"the plan of the six new files, again"_s))
        runProblemShown(u"a run with failed moves"_s, u"organizer-run-failed-moves.png"_s);
    return shots.finish();
}
