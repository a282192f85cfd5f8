// duplicate-screens <output-dir>
// Runs the duplicate finder on a generated sample folder with many copies and
// saves each state a user meets:
//   duplicates-idle.png, duplicates-analyzing.png, duplicates-groups.png,
//   duplicates-marked.png (a group with all but the newest marked),
//   duplicates-rescanning.png ("Scan Again" under way over the groups),
//   duplicates-preview.png, duplicates-preview-gone.png (a member sent to the
//   Trash from the preview), duplicates-preview-last.png (the last copy left,
//   which cannot be deleted), duplicates-deletion-report.png (a group's
//   deletion the Trash partly refused, reported under the header),
//   duplicates-empty.png (after "Auto Delete All", with its report).
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
#include "render/Shots.h"
#include "support/MonitorServices.h"
#include "ui/AppStyle.h"
#include "ui/PlainButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

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

// The user's Trash, refusing the files a picture wants left in place.
class RefusingTrash : public Trash
{
public:
    QStringList refused;
    Result moveToTrash(const QString& path) override
    {
        if (refused.contains(path))
            return {false, {}, u"refused"_s};
        return m_real.moveToTrash(path);
    }

private:
    SystemTrash m_real;
};

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

    const QString folder = scratch.filePath(u"Desktop/Screenshots"_s);
    writeSampleFolder(folder);
    Settings settings(scratch.filePath(u"settings.conf"_s));
    MemoryMonitor memory(std::make_unique<AmpleMemory>(), std::chrono::hours(1));
    DatabaseManager store(scratch.filePath(u"store.sqlite"_s));
    MonitorServices parts;
    ScreenshotMonitor monitor(parts.with(settings, memory, store, std::make_shared<NoAnalysis>()));
    monitor.changeMonitoredFolder(folder);
    render::Shots shots(output);
    if (!shots.await([&] { return monitor.isPolling() && !monitor.screenshots().isEmpty(); },
                     u"the sample folder listed"_s))
        return shots.finish();

    RefusingTrash trash;
    DuplicateFinderView view(monitor, store, trash, parts.workers);
    view.resize(1000, 800);
    view.show();
    shots.save(view, u"duplicates-idle.png"_s);

    DuplicateFinderViewModel& model = view.viewModel();
    const auto analysed = [&] { return model.result().has_value() && !model.isAnalyzing(); };
    int deletions = 0;
    QObject::connect(&model, &DuplicateFinderViewModel::deletionFinished, &view, [&deletions] { ++deletions; });
    const auto thumbnailsIn = [&](const QString& picture) {
        shots.await([&] { return allThumbnailsIn(*view.groupList()); }, u"the thumbnails of "_s + picture);
    };
    // The picture of an analysis under way, taken at its first report.
    QString progressPicture = u"duplicates-analyzing.png"_s;
    QObject::connect(&model, &DuplicateFinderViewModel::progressChanged, &view, [&] {
        if (!progressPicture.isEmpty() && model.progress().current > 0 && model.isAnalyzing()) {
            shots.saveNow(view, progressPicture);
            progressPicture.clear();
        }
    });
    model.analyze();
    shots.await(analysed, u"the first analysis"_s);
    shots.reach(progressPicture.isEmpty(), u"a progress report of the first analysis"_s);
    thumbnailsIn(u"duplicates-groups.png"_s);
    shots.save(view, u"duplicates-groups.png"_s);

    if (DuplicateGroupRow* row = view.groupList()->showRow(0); shots.reach(row, u"the first group's row"_s)) {
        row->keepNewestButton()->click();
        if (shots.reach(row->deleteButton()->isVisible(), u"the first group marked"_s))
            shots.save(view, u"duplicates-marked.png"_s);
    }
    // "Scan Again": the groups stay while the header shows the progress.
    progressPicture = u"duplicates-rescanning.png"_s;
    model.analyze();
    shots.await(analysed, u"the second analysis"_s);
    shots.reach(progressPicture.isEmpty(), u"a progress report of the second analysis"_s);
    thumbnailsIn(u"the groups after the second analysis"_s);

    // The preview of a group of screenshots (the largest groups are recordings).
    const auto& groups = view.groupList()->groups();
    const auto pictures = std::find_if(groups.cbegin(), groups.cend(),
                                       [](const auto& group) { return !group.screenshots.first().isVideo(); });
    if (DuplicateGroupRow* row = view.groupList()->showRow(int(std::max<qsizetype>(0, pictures - groups.cbegin()))))
        row->cards().first()->picture()->click();
    if (shots.await([&] { return view.preview() && view.preview()->hasFullImage(); }, u"the group preview"_s)) {
        DuplicatePreviewView* preview = view.preview();
        preview->resize(1100, 820);
        shots.save(*preview, u"duplicates-preview.png"_s);
        preview->deleteCurrent();
        shots.await([&] { return deletions == 1 && !model.isAnalyzing(); }, u"a member sent away from the preview"_s);
        preview->showPrevious();
        if (shots.reach(preview->isCurrentGone(), u"the member sent away, shown again"_s))
            shots.save(*preview, u"duplicates-preview-gone.png"_s);
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
        if (shots.await([&] { return preview->isCurrentLastCopy() && !model.isAnalyzing() && preview->hasFullImage(); },
                        u"the last copy in the preview"_s))
            shots.save(*preview, u"duplicates-preview-last.png"_s);
        preview->reject();
    }
    shots.await(analysed, u"the analysis after the preview's deletions"_s);
    thumbnailsIn(u"the groups after the preview"_s);

    // A group's deletion of which the Trash refuses one file: the screen
    // says what went, and which did not and why.
    const auto& left = view.groupList()->groups();
    const auto three = std::find_if(left.cbegin(), left.cend(), [](const auto& g) { return g.screenshots.size() > 2; });
    const int deletedBefore = deletions;
    if (DuplicateGroupRow* row = view.groupList()->showRow(int(three == left.cend() ? 0 : three - left.cbegin()));
        shots.reach(row, u"a group to delete from"_s)) {
        row->keepNewestButton()->click();
        const DuplicateFinderService::DuplicateGroup group = row->group();
        const QUuid newest = group.newestScreenshot().id;
        for (const Screenshot& member : group.screenshots)
            if (member.id != newest && trash.refused.isEmpty())
                trash.refused.append(member.filePath);
        row->deleteButton()->click();
        if (shots.await(
                [&] {
                    return deletions == deletedBefore + 1 && analysed() && view.deletionLine() &&
                           view.deletionLine()->isVisible();
                },
                u"the report of a deletion the Trash partly refused"_s)) {
            thumbnailsIn(u"duplicates-deletion-report.png"_s);
            shots.save(view, u"duplicates-deletion-report.png"_s);
        }
        trash.refused.clear();
    }

    model.autoDeleteKeepingNewest();
    if (shots.await([&] { return deletions == deletedBefore + 2 && analysed() && model.result()->groups.isEmpty(); },
                    u"every duplicate deleted"_s))
        shots.save(view, u"duplicates-empty.png"_s);
    return shots.finish();
}
