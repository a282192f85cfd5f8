#include "SpaceSaverLibrary.h"

#include "spacesaver/SpaceSaverActions.h"
#include "ui/PlainButton.h"

#include <QBuffer>
#include <QScopeGuard>

#include <atomic>
#include <chrono>
#include <future>
#include <semaphore>

using namespace Qt::StringLiterals;

namespace {
using Stat = SpaceSaverViewModel::FileTypeStat;
using Progress = SpaceSaverViewModel::CompressionProgress;

Screenshot record(const QString& path, qint64 size, AnalysisFailure failure = AnalysisFailure::none)
{
    Screenshot screenshot;
    screenshot.id = QUuid::createUuid();
    screenshot.filePath = path;
    screenshot.fileSize = size;
    screenshot.analysisFailure = failure;
    return screenshot;
}

// Sees nothing in a picture, but finds out as the real analysis does whether
// it decodes at all.
class DecodingAnalyzer : public NothingAnalyzer
{
public:
    Sight look(const QString& filePath, std::stop_token, const TimeBudget&) override
    {
        Sight sight;
        sight.text = QString();
        sight.unreadable = QImage(filePath).isNull();
        return sight;
    }
};

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
} // namespace

class SpaceSaverViewModelTest : public SpaceSaverLibrary
{
public:
    using Statistics = SpaceSaverViewModel::Statistics;

    // Publishes `screenshots` as the monitor's list and waits for its figures.
    void analyzeLibrary(const QList<Screenshot>& screenshots)
    {
        ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, screenshots);
        m_model->analyze();
        const Statistics expected = SpaceSaverViewModel::statisticsOf(screenshots);
        ASSERT_TRUE(waitUntil([&] {
            return m_model->totalFiles() == expected.totalFiles && m_model->totalSize() == expected.totalSize;
        }));
    }

    void waitForPlan()
    {
        ASSERT_TRUE(waitUntil([&] { return m_model->plan().has_value() && !m_model->isAnalyzing(); }));
    }
};

TEST_F(SpaceSaverViewModelTest, StatisticsByTypeWithShareAndCarbon)
{
    startMonitoring();
    struct Case
    {
        const char* name;
        QList<Screenshot> library;
        qint64 totalSize;
        qint64 potentialSavings;
        int compressible;
        double percent;
        QList<Stat> stats;
        QString co2;
    };
    const Case cases[] = {
        {"empty", {}, 0, 0, 0, 0, {}, u"0g"_s},
        {"png only",
         {record(u"/d/a.png"_s, 4'000'000), record(u"/d/b.png"_s, 6'000'000)},
         10'000'000,
         6'000'000,
         2,
         60,
         {{u"png"_s, 2, 10'000'000, true, 65}},
         u"3g"_s},
        // The suffix test is case-sensitive; the breakdown is not.
        {"heic in both cases, videos and jpegs",
         {record(u"/d/x.HEIC"_s, 1'000), record(u"/d/y.heic"_s, 2'000), record(u"/d/clip.mov"_s, 5'000),
          record(u"/d/p.jpg"_s, 500), record(u"/d/q.JPEG"_s, 500)},
         9'000,
         4'200, // 0.6 × (1000 + 5000 + 500 + 500)
         4,
         9'000 > 0 ? 4'200.0 / 9'000 * 100 : 0,
         {{u"mov"_s, 1, 5'000, true, 0},
          {u"heic"_s, 2, 3'000, false, 0},
          {u"jpeg"_s, 1, 500, true, 40},
          {u"jpg"_s, 1, 500, true, 40}},
         u"0g"_s},
        {"carbon in grams",
         {record(u"/d/big.png"_s, 2'500'000'000)},
         2'500'000'000,
         1'500'000'000,
         1,
         60,
         {{u"png"_s, 1, 2'500'000'000, true, 65}},
         u"750g"_s},
        {"carbon in kilograms",
         {record(u"/d/big.png"_s, 5'000'000'000)},
         5'000'000'000,
         3'000'000'000,
         1,
         60,
         {{u"png"_s, 1, 5'000'000'000, true, 65}},
         u"1.5kg"_s},
        {"a whole kilogram keeps its decimal",
         {record(u"/d/big.mov"_s, 3'333'333'334)},
         3'333'333'334,
         2'000'000'000,
         1,
         2'000'000'000.0 / 3'333'333'334 * 100,
         {{u"mov"_s, 1, 3'333'333'334, true, 0}},
         u"1.0kg"_s},
        // No plan takes the undecodable and the empty, so they promise
        // nothing; one the analysis gave up on still decodes and counts.
        {"unreadable and empty files",
         {record(u"/d/a.png"_s, 4'000), record(u"/d/b.png"_s, 6'000, AnalysisFailure::unreadable),
          record(u"/d/c.png"_s, 0), record(u"/d/d.jpg"_s, 1'000, AnalysisFailure::givenUp)},
         11'000,
         3'000, // 0.6 × (4000 + 1000)
         4,
         3'000.0 / 11'000 * 100,
         {{u"png"_s, 3, 10'000, true, 26}, {u"jpg"_s, 1, 1'000, true, 40}},
         u"0g"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        analyzeLibrary(c.library);
        EXPECT_EQ(m_model->totalSize(), c.totalSize);
        EXPECT_EQ(m_model->potentialSavings(), c.potentialSavings);
        EXPECT_EQ(m_model->compressibleFiles(), c.compressible);
        EXPECT_NEAR(m_model->savingsPercent(), c.percent, 1e-9);
        EXPECT_EQ(m_model->fileTypeStats(), c.stats);
        EXPECT_EQ(m_model->co2SavedText(), c.co2);
    }
}

TEST_F(SpaceSaverViewModelTest, FromPlanThroughRunToSuccessAndBack)
{
    addImage(u"one.png"_s, images::photo(QSize(320, 200)));
    addImage(u"two.png"_s, images::photo(QSize(330, 200)));
    startMonitoring();
    analyzeLibrary(m_monitor->screenshots());
    QList<int> qualities;
    const CompressionService::Encoder real = m_service.encoder();
    m_service.setEncoder([&qualities, real](const QImage& image, int quality) {
        qualities.append(quality); // both encode on one worker here, never at once
        return real(image, quality);
    });

    EXPECT_FALSE(m_model->compress()) << "no plan yet";
    ASSERT_TRUE(m_model->createPlan());
    EXPECT_TRUE(m_model->isAnalyzing());
    EXPECT_FALSE(m_model->createPlan()) << "one plan at a time";
    waitForPlan();
    EXPECT_EQ(m_model->plan()->files.size(), 2);

    // The run takes the quality chosen when it starts, not the plan's.
    m_model->setSelectedQuality({0.85, 1});
    ConsoleCapture console;
    ASSERT_TRUE(m_model->compress());
    EXPECT_TRUE(m_model->isCompressing());
    EXPECT_EQ(m_model->compressionProgress(), (Progress{0, 2}));
    EXPECT_FALSE(m_model->compress()) << "one run at a time";
    EXPECT_FALSE(m_model->createPlan());
    ASSERT_TRUE(waitUntil([&] { return !m_model->isCompressing(); }, 30000));

    EXPECT_TRUE(m_model->showingSuccess());
    EXPECT_GT(m_model->actualSavings(), 0);
    EXPECT_EQ(m_model->compressionProgress(), (Progress{2, 2}));
    EXPECT_TRUE(m_model->plan().has_value()) << "kept until the success is dismissed";
    EXPECT_EQ(qualities, (QList<int>{85, 85}));
    EXPECT_TRUE(waitUntil([&] { return console.contains(u"reshing monitoring skipped (already active)"_s); }));

    m_model->dismissSuccess();
    EXPECT_FALSE(m_model->showingSuccess());
    EXPECT_FALSE(m_model->plan().has_value());
    EXPECT_EQ(m_model->compressionProgress(), (Progress{0, 0}));
}

// A run that finds an image no smaller as HEIC says so, and the next plan at
// that quality leaves the image out while it is the same file; another
// quality, or a changed file, is worth a try again.
TEST_F(SpaceSaverViewModelTest, ImagesFoundNotSmallerAreLeftOutOfTheNextPlanAtThatQuality)
{
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(Qt::darkCyan);
    addImage(u"flat.png"_s, flat); // a few hundred bytes; any HEIC is larger
    addImage(u"photo.png"_s, images::photo(QSize(320, 200)));
    startMonitoring();
    analyzeLibrary(m_monitor->screenshots());
    const auto planFiles = [&] {
        QStringList names;
        for (const auto& file : m_model->plan()->files)
            names.append(QFileInfo(file.originalPath).fileName());
        names.sort();
        return names;
    };

    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    EXPECT_EQ(planFiles(), (QStringList{u"flat.png"_s, u"photo.png"_s}));
    ASSERT_TRUE(m_model->compress());
    ASSERT_TRUE(waitUntil([&] { return m_model->showingSuccess(); }, 30000));
    const SpaceSaverViewModel::RunSummary& run = m_model->lastRun();
    EXPECT_EQ(run.planned, 2);
    EXPECT_EQ(run.compressed, 1);
    ASSERT_EQ(run.skipped.size(), 1);
    EXPECT_TRUE(run.skipped[0].originalPath.endsWith(u"/flat.png"_s));
    // The figures behind the card are those after the run.
    ASSERT_TRUE(waitUntil([&] { return m_model->compressibleFiles() == 1; }));
    EXPECT_EQ(m_model->fileTypeStats().size(), 2);
    m_model->dismissSuccess();

    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    EXPECT_TRUE(m_model->plan()->files.isEmpty());
    EXPECT_EQ(m_model->leftOutOfPlan(), 1);

    m_model->setSelectedQuality({0.85, 4});
    m_model->cancelPlan();
    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    EXPECT_EQ(planFiles(), QStringList{u"flat.png"_s});
    EXPECT_EQ(m_model->leftOutOfPlan(), 0);

    flat.fill(Qt::darkRed);
    ASSERT_TRUE(flat.save(path(u"flat.png"_s)));
    m_model->setSelectedQuality({0.95, 4});
    m_model->cancelPlan();
    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    EXPECT_EQ(planFiles(), QStringList{u"flat.png"_s}) << "a changed file is planned again";
}

// After a run, the headline, the breakdown and the plan leave out the same
// images: those found no smaller at the chosen quality, while unchanged.
// Images never tried keep the first estimate, and "Compress Now" has nothing
// to run when nothing is planned.
TEST_F(SpaceSaverViewModelTest, FiguresAndPlanLeaveOutWhatWasFoundNoSmaller)
{
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(Qt::darkCyan);
    const qint64 flatSize = QFileInfo(addImage(u"flat.png"_s, flat)).size(); // any HEIC is larger
    addImage(u"photo.png"_s, images::photo(QSize(320, 200)));
    startMonitoring();
    analyzeLibrary(m_monitor->screenshots());
    SpaceSaverActions actions(*m_model);
    const auto pngStat = [&] {
        for (const Stat& stat : m_model->fileTypeStats())
            if (stat.type == u"png")
                return stat;
        return Stat{};
    };
    const auto replanned = [&] { return !m_model->isAnalyzing() && m_model->plan().has_value(); };

    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    ASSERT_TRUE(m_model->compress());
    ASSERT_TRUE(waitUntil([&] { return m_model->showingSuccess(); }, 30000));
    ASSERT_EQ(m_model->lastRun().skipped.size(), 1);
    m_model->dismissSuccess();
    ASSERT_TRUE(waitUntil([&] { return m_model->compressibleFiles() == 1 && pngStat().count == 1; }));
    EXPECT_EQ(m_model->potentialSavings(), 0);
    EXPECT_EQ(m_model->savingsPercent(), 0);
    EXPECT_EQ(pngStat().potentialSavingsPercent, 0);

    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    EXPECT_TRUE(m_model->plan()->files.isEmpty());
    EXPECT_FALSE(m_model->compress()) << "nothing planned, nothing to run";
    EXPECT_FALSE(m_model->isCompressing());
    EXPECT_FALSE(actions.compressButton()->isEnabled());

    // A new image keeps the first estimate; the known one still saves nothing.
    const qint64 lateSize = QFileInfo(addImage(u"late.png"_s, images::photo(QSize(300, 200)))).size();
    ASSERT_TRUE(waitUntil([&] { return m_monitor->screenshots().size() == 3; }));
    m_model->analyze();
    ASSERT_TRUE(waitUntil([&] { return pngStat().count == 2; }));
    EXPECT_EQ(m_model->potentialSavings(), qint64(0.6 * double(lateSize)));
    EXPECT_NEAR(pngStat().potentialSavingsPercent, 65.0 * double(lateSize) / double(lateSize + flatSize), 1e-9);

    // Another quality has found nothing yet: everything counts, and the plan
    // on show is made again for it.
    m_model->setSelectedQuality({0.85, 4});
    ASSERT_TRUE(waitUntil([&] { return m_model->potentialSavings() == qint64(0.6 * double(lateSize + flatSize)); }));
    EXPECT_EQ(pngStat().potentialSavingsPercent, 65);
    ASSERT_TRUE(waitUntil(replanned));
    EXPECT_EQ(m_model->plan()->files.size(), 2);
    EXPECT_TRUE(actions.compressButton()->isEnabled());

    m_model->setSelectedQuality({0.95, 4});
    ASSERT_TRUE(waitUntil(replanned));
    ASSERT_EQ(m_model->plan()->files.size(), 1);
    EXPECT_TRUE(m_model->plan()->files.first().originalPath.endsWith(u"/late.png"_s));
    EXPECT_EQ(m_model->leftOutOfPlan(), 1);

    // A plan being made again and cancelled stays cancelled.
    m_model->setSelectedQuality({0.85, 4});
    EXPECT_TRUE(m_model->isAnalyzing());
    m_model->cancelPlan();
    EXPECT_FALSE(m_model->isAnalyzing());
    ToolJobs::waitForAll();
    drainPostedEvents();
    EXPECT_FALSE(m_model->plan().has_value());

    // A changed image is worth a try again.
    m_model->setSelectedQuality({0.95, 4});
    flat.fill(Qt::darkRed);
    ASSERT_TRUE(flat.save(path(u"flat.png"_s)));
    m_model->analyze();
    EXPECT_TRUE(waitUntil([&] { return pngStat().potentialSavingsPercent == 65; }));
}

// Found in a trial: an empty, a one-byte and a truncated PNG beside two good
// images failed every run ("Failed to load image"), which rolled the good
// ones back each time. Once the analysis has found them unreadable, the
// figures promise nothing from them, the plan leaves them out and the run
// goes through.
TEST_F(SpaceSaverViewModelTest, UnreadableAndEmptyFilesAreLeftOutSoTheRunGoesThrough)
{
    const qint64 goodSize = QFileInfo(addImage(u"one.png"_s, images::photo(QSize(320, 200)))).size() +
                            QFileInfo(addImage(u"two.png"_s, images::photo(QSize(330, 200)))).size();
    const QByteArray whole = pngBytes(images::photo(QSize(300, 200)));
    const QStringList unreadable{addBytes(u"empty.png"_s, {}), addBytes(u"tiny.png"_s, whole.first(1)),
                                 addBytes(u"truncated.png"_s, whole.first(whole.size() / 2))};
    startMonitoring(std::make_shared<DecodingAnalyzer>());
    const auto isKnownUnreadable = [&](const QString& file) {
        for (const Screenshot& screenshot : m_monitor->screenshots())
            if (screenshot.filePath == file)
                return screenshot.couldNotBeRead();
        return false;
    };
    ASSERT_TRUE(waitUntil([&] { return isKnownUnreadable(unreadable[1]) && isKnownUnreadable(unreadable[2]); }));

    m_model->analyze();
    ASSERT_TRUE(waitUntil([&] { return m_model->totalFiles() == 5; }));
    EXPECT_EQ(m_model->potentialSavings(), qint64(0.6 * double(goodSize)));
    ASSERT_EQ(m_model->fileTypeStats().size(), 1);
    EXPECT_NEAR(m_model->fileTypeStats().first().potentialSavingsPercent,
                65.0 * double(goodSize) / double(m_model->totalSize()), 1e-9);

    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    QStringList planned;
    for (const auto& file : m_model->plan()->files)
        planned.append(QFileInfo(file.originalPath).fileName());
    planned.sort();
    EXPECT_EQ(planned, (QStringList{u"one.png"_s, u"two.png"_s}));

    ASSERT_TRUE(m_model->compress());
    ASSERT_TRUE(waitUntil([&] { return !m_model->isCompressing(); }, 30000));
    EXPECT_FALSE(m_model->failureMessage().has_value()) << m_model->failureMessage().value_or(QString()).toStdString();
    EXPECT_TRUE(m_model->showingSuccess());
    EXPECT_EQ(m_model->lastRun().compressed, 2);
    for (const QString& file : unreadable)
        EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
}

// What a run found not smaller is kept in the data folder: the next launch
// neither counts its savings nor plans it again, until the file changes.
TEST_F(SpaceSaverViewModelTest, WhatWasFoundNotSmallerIsLeftOutAfterARestartUntilItChanges)
{
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(Qt::darkCyan);
    addImage(u"flat.png"_s, flat); // any HEIC is larger
    addImage(u"photo.png"_s, images::photo(QSize(320, 200)));
    startMonitoring();
    analyzeLibrary(m_monitor->screenshots());
    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    ASSERT_TRUE(m_model->compress());
    ASSERT_TRUE(waitUntil([&] { return m_model->showingSuccess(); }, 30000));
    ASSERT_EQ(m_model->lastRun().skipped.size(), 1);
    m_model->dismissSuccess();

    restart();
    m_model->analyze();
    ASSERT_TRUE(waitUntil([&] { return m_model->totalFiles() == 2; }));
    EXPECT_EQ(m_model->compressibleFiles(), 1);
    EXPECT_EQ(m_model->potentialSavings(), 0);
    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    EXPECT_TRUE(m_model->plan()->files.isEmpty());
    EXPECT_EQ(m_model->leftOutOfPlan(), 1);

    flat.fill(Qt::darkRed);
    ASSERT_TRUE(flat.save(path(u"flat.png"_s)));
    restart();
    m_model->analyze();
    ASSERT_TRUE(waitUntil([&] { return m_model->potentialSavings() > 0; }));
    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    ASSERT_EQ(m_model->plan()->files.size(), 1);
    EXPECT_EQ(m_model->plan()->files.first().originalPath, path(u"flat.png"_s));
    EXPECT_EQ(m_model->leftOutOfPlan(), 0);
}

TEST_F(SpaceSaverViewModelTest, AFailedRunKeepsThePlanAndSaysWhy)
{
    addImage(u"one.png"_s, images::photo(QSize(320, 200)));
    addImage(u"two.png"_s, images::photo(QSize(330, 200)));
    startMonitoring();
    analyzeLibrary(m_monitor->screenshots());
    m_service.setEncoder([](const QImage&, int) { return HeicWriter::Encoded{{}, u"gave up"_s, false}; });
    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();

    ASSERT_TRUE(m_model->compress());
    ASSERT_TRUE(waitUntil([&] { return !m_model->isCompressing(); }, 30000));

    EXPECT_FALSE(m_model->showingSuccess());
    EXPECT_EQ(m_model->actualSavings(), 0);
    EXPECT_TRUE(m_model->plan().has_value());
    ASSERT_TRUE(m_model->failureMessage().has_value());
    const QString first = QFileInfo(m_model->plan()->files.first().originalPath).fileName();
    EXPECT_EQ(*m_model->failureMessage(), first + u": Compression failed"_s);
    EXPECT_EQ(m_model->failureTitle(), u"Nothing Was Compressed"_s);
    EXPECT_TRUE(m_model->failureOutcome().startsWith(u"Every change was rolled back"_s));
    EXPECT_FALSE(m_monitor->isPollingPaused());
    m_model->dismissFailure();
    EXPECT_FALSE(m_model->failureMessage().has_value());
    EXPECT_TRUE(m_model->plan().has_value());
}

// The store stops taking writes once two renditions are in place, so the
// rollback cannot finish: the card's title says so, not that nothing was
// compressed.
TEST_F(SpaceSaverViewModelTest, ARollbackThatCouldNotFinishIsTitledSo)
{
    for (int i = 0; i < 3; ++i)
        addImage(u"shot %1.png"_s.arg(i), images::photo(QSize(320 + 10 * i, 200)));
    startMonitoring();
    analyzeLibrary(m_monitor->screenshots());
    std::atomic<int> encoded = 0;
    std::binary_semaphore twoPlaced(0);
    m_service.setEncoder([&, real = m_service.encoder()](const QImage& image, int quality) {
        if (++encoded < 3)
            return real(image, quality);
        // Bounded, so that a run that never places two cannot hold the test.
        (void)twoPlaced.try_acquire_for(std::chrono::seconds(20));
        m_store.simulateFault(DatabaseManager::Fault::readOnly);
        return HeicWriter::Encoded{{}, u"gave up"_s, false};
    });
    QObject::connect(m_model.get(), &SpaceSaverViewModel::changed, m_model.get(), [&] {
        if (m_model->compressionProgress().current == 2)
            twoPlaced.release();
    });
    m_model->setSelectedQuality({0.95, 1}); // one encoder: the third image waits for the first two
    ASSERT_TRUE(m_model->createPlan());
    waitForPlan();
    ASSERT_TRUE(m_model->compress());
    ASSERT_TRUE(waitUntil([&] { return m_model->failureMessage().has_value(); }, 30000));

    EXPECT_EQ(m_model->failureTitle(), u"Rollback Not Finished"_s);
    // In the user's words: which images stand beside their HEIC versions,
    // what the gallery may show, and that nothing is lost.
    const QString outcome = m_model->failureOutcome();
    QStringList kept;
    for (int i = 0; i < 3; ++i)
        if (QFileInfo::exists(path(u"shot %1.png"_s.arg(i))) && QFileInfo::exists(path(u"shot %1.heic"_s.arg(i))))
            kept.append(u"shot %1.png"_s.arg(i));
    ASSERT_EQ(kept.size(), 2);
    for (const QString& name : kept)
        EXPECT_TRUE(outcome.contains(name)) << outcome.toStdString();
    EXPECT_TRUE(outcome.startsWith(u"Not every change could be rolled back: "_s)) << outcome.toStdString();
    EXPECT_TRUE(outcome.endsWith(u" are still beside their HEIC versions, and the gallery may show the HEIC versions "_s
                                 u"in their place. Nothing is lost: both files are kept, and this is put right the "_s
                                 u"next time the app starts."_s))
        << outcome.toStdString();
}

TEST_F(SpaceSaverViewModelTest, NothingToPlanWithoutCompressibleFiles)
{
    startMonitoring();
    analyzeLibrary({record(u"/d/a.heic"_s, 1000)});
    EXPECT_FALSE(m_model->createPlan());
    EXPECT_FALSE(m_model->isAnalyzing());
    m_model->cancelPlan(); // nothing to cancel, nothing changes
    EXPECT_FALSE(m_model->plan().has_value());
}

namespace {
// Which row of the screen's state table the view model is in.
QString stateOf(const SpaceSaverViewModel& model)
{
    if (model.showingSuccess())
        return u"success"_s;
    if (model.isCompressing())
        return u"compressing"_s;
    if (model.isAnalyzing())
        return u"planning"_s;
    if (model.plan() && model.failureMessage())
        return u"rolled back"_s;
    return model.plan() ? u"planned"_s : u"idle"_s;
}
} // namespace

// The service's encoder is the seam: the second image's encoding fails in
// the first run and waits for the test in the second, so that every state
// and the progress in the middle of a run can be looked at.
TEST_F(SpaceSaverViewModelTest, StateTableFromIdleThroughRollbackToSuccessAndBack)
{
    addImage(u"one.png"_s, images::photo(QSize(320, 200)));
    addImage(u"two.png"_s, images::photo(QSize(330, 200)));
    startMonitoring();
    analyzeLibrary(m_monitor->screenshots());
    std::atomic<bool> failSecond = true;
    std::atomic<int> secondWidth = 0; // of the image second in plan order
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    bool releasedByTest = false;
    // An encoder still held when a check fails would hold the test up forever.
    const auto releaseAtEnd = qScopeGuard([&] {
        if (!releasedByTest)
            release.set_value();
    });
    const CompressionService::Encoder real = m_service.encoder();
    m_service.setEncoder([&failSecond, &secondWidth, released, real](const QImage& image, int quality) {
        if (image.width() == secondWidth) {
            if (failSecond)
                return HeicWriter::Encoded{{}, u"gave up"_s, false};
            released.wait();
        }
        return real(image, quality);
    });
    SpaceSaverViewModel& model = *m_model;
    EXPECT_EQ(stateOf(model), u"idle"_s);

    ASSERT_TRUE(model.createPlan());
    EXPECT_EQ(stateOf(model), u"planning"_s);
    waitForPlan();
    EXPECT_EQ(stateOf(model), u"planned"_s);
    model.cancelPlan();
    EXPECT_EQ(stateOf(model), u"idle"_s);
    ASSERT_TRUE(model.createPlan());
    waitForPlan();
    ASSERT_EQ(model.plan()->files.size(), 2);
    secondWidth = model.plan()->files[1].originalPath.endsWith(u"two.png"_s) ? 330 : 320;

    // A run that fails at its second entry: back to the plan, with the
    // progress where it stopped and nothing counted as saved.
    ASSERT_TRUE(model.compress());
    EXPECT_EQ(stateOf(model), u"compressing"_s);
    ASSERT_TRUE(waitUntil([&] { return !model.isCompressing(); }, 30000));
    EXPECT_EQ(stateOf(model), u"rolled back"_s);
    EXPECT_EQ(model.compressionProgress(), (Progress{1, 2}));
    EXPECT_EQ(model.actualSavings(), 0);
    model.dismissFailure();
    EXPECT_EQ(stateOf(model), u"planned"_s);

    // A run held at its second entry shows its progress meanwhile and lets
    // neither the plan be cancelled nor another plan or run start.
    failSecond = false;
    ASSERT_TRUE(model.compress());
    ASSERT_TRUE(waitUntil([&] { return model.compressionProgress() == Progress{1, 2}; }, 30000));
    EXPECT_EQ(stateOf(model), u"compressing"_s);
    model.cancelPlan();
    EXPECT_TRUE(model.plan().has_value());
    EXPECT_FALSE(model.createPlan());
    EXPECT_FALSE(model.compress());
    release.set_value();
    releasedByTest = true;
    ASSERT_TRUE(waitUntil([&] { return !model.isCompressing(); }, 30000));
    EXPECT_EQ(stateOf(model), u"success"_s);
    EXPECT_EQ(model.compressionProgress(), (Progress{2, 2}));
    EXPECT_GT(model.actualSavings(), 0);

    model.dismissSuccess();
    EXPECT_EQ(stateOf(model), u"idle"_s);
    EXPECT_EQ(model.compressionProgress(), (Progress{0, 0}));
    // The statistics follow the renditions once the monitor lists them.
    ASSERT_TRUE(waitUntil([&] {
        return lists({CompressionService::renditionPath(path(u"one.png"_s), u"heic"_s),
                      CompressionService::renditionPath(path(u"two.png"_s), u"heic"_s)});
    }));
    model.analyze();
    ASSERT_TRUE(waitUntil([&] { return model.compressibleFiles() == 0 && model.totalFiles() == 2; }));
    EXPECT_FALSE(model.createPlan()) << "nothing left to compress";
}
