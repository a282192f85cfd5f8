#include "SpaceSaverLibrary.h"
#include "spacesaver/CompressionOptionsSection.h"
#include "spacesaver/CompressionProgressOverlay.h"
#include "spacesaver/CompressionSuccessView.h"
#include "spacesaver/FileTypeBar.h"
#include "spacesaver/FileTypeBreakdown.h"
#include "spacesaver/OverlayParts.h"
#include "spacesaver/QualityOption.h"
#include "spacesaver/SavingsGauge.h"
#include "spacesaver/SpaceAnalyticsDashboard.h"
#include "spacesaver/SpaceSaverActions.h"
#include "spacesaver/SpaceSaverView.h"
#include "spacesaver/SpaceStatCard.h"
#include "support/Capture.h"
#include "ui/CenteredOverlay.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"

#include <QAbstractAnimation>
#include <QLabel>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {
QStringList texts(const QWidget& widget)
{
    QStringList found;
    for (const QLabel* label : widget.findChildren<QLabel*>())
        if (label->isVisibleTo(&widget))
            found.append(label->text());
    return found;
}
} // namespace

class SpaceSaverViewTest : public SpaceSaverLibrary
{
public:
    std::unique_ptr<SpaceSaverView> showScreen()
    {
        auto view = std::make_unique<SpaceSaverView>(m_service, *m_monitor, *m_notSmaller);
        view->resize(1100, 900);
        view->show();
        return view;
    }

    InstantMotionScope m_instant;
};

// Plan, compress and done through the screen's own buttons, on a real folder
// and store: the renditions replace the images and the gallery's rows follow.
TEST_F(SpaceSaverViewTest, PlanCompressAndDoneFromTheScreen)
{
    const QString first = addImage(u"one.png"_s, images::photo(QSize(320, 200)));
    const QString second = addImage(u"two.jpg"_s, images::texted(QSize(330, 200)), "JPG", 98);
    startMonitoring();
    const auto view = showScreen();
    ASSERT_TRUE(waitUntil([&] { return view->viewModel().totalFiles() == 2; }));
    EXPECT_EQ(view->dashboard()->cards()[0]->value(), u"2"_s);
    EXPECT_EQ(view->breakdown()->bars().size(), 2);
    EXPECT_FALSE(view->options()->isVisibleTo(view.get()));

    view->actions()->planButton()->click();
    ASSERT_TRUE(waitUntil([&] { return view->options()->isVisibleTo(view.get()); }));
    EXPECT_TRUE(view->actions()->compressButton()->isVisibleTo(view.get()));
    EXPECT_FALSE(view->actions()->planButton()->isVisibleTo(view.get()));

    view->actions()->compressButton()->click();
    EXPECT_TRUE(view->progressOverlay()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return view->successOverlay()->isVisible(); }, 30000));
    EXPECT_FALSE(view->progressOverlay()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return texts(*view->successOverlay()).contains(u"Compression Complete!"_s); }));
    EXPECT_TRUE(texts(*view->successOverlay()).filter(QRegularExpression(u"^Saved \\d"_s)).size() == 1)
        << texts(*view->successOverlay()).join(u" | ").toStdString();

    const QStringList renditions{CompressionService::renditionPath(first, u"heic"_s),
                                 CompressionService::renditionPath(second, u"heic"_s)};
    EXPECT_FALSE(QFileInfo::exists(first) || QFileInfo::exists(second));
    EXPECT_TRUE(rowPointsAt(m_screenshots[0], renditions[0]));
    EXPECT_TRUE(rowPointsAt(m_screenshots[1], renditions[1]));
    EXPECT_TRUE(waitUntil([&] { return lists(renditions); })) << listed().join(u' ').toStdString();

    auto* done = view->successOverlay()->findChild<PlainButton*>(u"Done"_s);
    ASSERT_NE(done, nullptr);
    done->click();
    EXPECT_FALSE(view->successOverlay()->isVisible());
    EXPECT_FALSE(view->options()->isVisibleTo(view.get()));
    ASSERT_TRUE(waitUntil([&] { return view->breakdown()->bars().size() == 1; }));
    EXPECT_EQ(view->breakdown()->bars()[0]->name(), u"HEIC"_s);
    EXPECT_EQ(view->breakdown()->bars()[0]->savingsText(), QString()); // heic cannot be compressed again
}

TEST_F(SpaceSaverViewTest, PlanButtonAndQualityRows)
{
    startMonitoring();
    const auto view = showScreen();
    SpaceSaverViewModel& model = view->viewModel();
    SpaceSaverActions& actions = *view->actions();
    EXPECT_FALSE(actions.planButton()->isEnabled()) << "nothing to compress";

    ScreenshotMonitorTestAccess::setScreenshots(*m_monitor, {Screenshot(path(u"missing.png"_s), QUuid::createUuid())});
    model.analyze();
    ASSERT_TRUE(waitUntil([&] { return actions.planButton()->isEnabled(); }));
    EXPECT_EQ(actions.planTitle(), u"Create Compression Plan"_s);
    EXPECT_FALSE(actions.isSpinning());
    ASSERT_TRUE(model.createPlan());
    EXPECT_FALSE(actions.planButton()->isEnabled());
    EXPECT_EQ(actions.planTitle(), u"Analyzing..."_s);
    EXPECT_TRUE(actions.isSpinning());
    EXPECT_TRUE(view->dashboard()->isSpinning());
    ASSERT_TRUE(waitUntil([&] { return model.plan().has_value(); }));

    const QList<QualityOption*>& rows = view->options()->rows();
    const auto selected = [&] {
        QList<bool> marks;
        for (const QualityOption* row : rows)
            marks.append(row->isSelected());
        return marks;
    };
    EXPECT_EQ(selected(), (QList<bool>{true, false, false}));
    rows[2]->click();
    EXPECT_EQ(model.selectedQuality(), (CompressionService::CompressionOptions{0.85, 4}));
    EXPECT_EQ(selected(), (QList<bool>{false, false, true}));
    // Only both fields together select a row.
    model.setSelectedQuality({0.9, 2});
    EXPECT_EQ(selected(), (QList<bool>{false, false, false}));

    actions.cancelButton()->click();
    EXPECT_FALSE(model.plan().has_value());
    EXPECT_FALSE(view->options()->isVisibleTo(view.get()));
}

// The screen's figures stand only once the library is counted and the gauge
// and the bars have sprung to their values: before, they contradict the
// numbers beside them, and a picture taken then shows that.
TEST_F(SpaceSaverViewTest, TheFiguresStandOnlyOnceCountedAndSprungToTheirValues)
{
    const InstantMotionScope moving(false);
    addImage(u"one.png"_s, images::photo(QSize(320, 200)));
    addImage(u"two.jpg"_s, images::texted(QSize(330, 200)), "JPG", 98);
    startMonitoring();
    ASSERT_TRUE(waitUntil([&] { return m_monitor->screenshots().size() == 2; }));
    const auto view = showScreen();
    EXPECT_TRUE(view->viewModel().isCounting());
    EXPECT_FALSE(view->figuresAtRest());
    // As each figure lands, its spring starts; the gauge's is held part-way,
    // as a busy machine may leave it, until the count is in.
    int landed = 0;
    int standing = 0;
    QPointer<QAbstractAnimation> gaugeSpring;
    QObject::connect(&view->viewModel(), &SpaceSaverViewModel::changed, view.get(), [&] {
        ++landed;
        standing += view->figuresAtRest();
        for (auto* spring : view->dashboard()->gauge()->findChildren<QAbstractAnimation*>())
            if (spring->state() == QAbstractAnimation::Running) {
                spring->pause();
                gaugeSpring = spring;
            }
    });
    ASSERT_TRUE(waitUntil([&] { return !view->viewModel().isCounting(); }));
    EXPECT_GT(landed, 0);
    EXPECT_EQ(standing, 0);
    ASSERT_TRUE(gaugeSpring);
    EXPECT_FALSE(view->figuresAtRest()) << "the gauge is on its way";

    gaugeSpring->resume();
    ASSERT_TRUE(waitUntil([&] { return view->figuresAtRest(); }));
    EXPECT_FALSE(view->viewModel().isCounting());
    EXPECT_GT(view->viewModel().savingsPercent(), 0);
    EXPECT_DOUBLE_EQ(view->dashboard()->gauge()->fraction(), view->viewModel().savingsPercent() / 100);
    EXPECT_EQ(view->breakdown()->bars().size(), 2);
}

TEST_F(SpaceSaverViewTest, FiguresSharesAndColours)
{
    startMonitoring();
    const auto view = showScreen();
    const auto stat = [](const char* type, qint64 size) {
        Screenshot screenshot;
        screenshot.id = QUuid::createUuid();
        screenshot.filePath = u"/d/x."_s + QString::fromLatin1(type);
        screenshot.fileSize = size;
        return screenshot;
    };
    // A third each: png, heic and webp.
    ScreenshotMonitorTestAccess::setScreenshots(
        *m_monitor, {stat("png", 1'000'000), stat("heic", 1'000'000), stat("webp", 1'000'000)});
    view->viewModel().analyze();
    ASSERT_TRUE(waitUntil([&] { return view->breakdown()->bars().size() == 3; }));

    EXPECT_EQ(view->dashboard()->gauge()->total(), u"3 MB"_s);
    EXPECT_EQ(view->dashboard()->savingsText(), u"1.2 MB"_s); // 0.6 of the two that are not heic
    EXPECT_EQ(view->dashboard()->percentText(), u"40.0%"_s);
    EXPECT_NEAR(view->dashboard()->gauge()->fraction(), 0.4, 1e-9);
    QMap<QString, FileTypeBar*> bars;
    for (FileTypeBar* bar : view->breakdown()->bars())
        bars.insert(bar->name(), bar);
    EXPECT_EQ(bars[u"PNG"_s]->shareText(), u"33% of total"_s);
    EXPECT_NEAR(bars[u"PNG"_s]->barFraction(), 1.0 / 3, 1e-9);
    EXPECT_EQ(bars[u"PNG"_s]->savingsText(), u"Can save ~65%"_s);
    EXPECT_EQ(bars[u"HEIC"_s]->savingsText(), QString());
    EXPECT_EQ(bars[u"WEBP"_s]->savingsText(), u"Can save ~0%"_s);
    EXPECT_EQ(bars[u"WEBP"_s]->symbolName(), u"doc.fill"_s);
    EXPECT_EQ(bars[u"WEBP"_s]->color(), PremiumTheme::textSecondary());
    EXPECT_EQ(bars[u"PNG"_s]->countText(), u"1 files"_s);

    // Types are matched without regard to case.
    EXPECT_EQ(FileTypeBar::typeColor(u"PNG"_s), FileTypeBar::typeColor(u"png"_s));
    EXPECT_EQ(FileTypeBar::typeIcon(u"JPEG"_s), u"photo.fill"_s);
    EXPECT_EQ(FileTypeBar::percentage({u"png"_s, 1, 500, true, 65}, 0), 0);
}

TEST(CompressionProgressOverlay, RingFraction)
{
    EXPECT_EQ(CompressionProgressOverlay::fraction(0, 0), 0);
    EXPECT_EQ(CompressionProgressOverlay::fraction(0, 1), 0);
    EXPECT_EQ(CompressionProgressOverlay::fraction(1, 1), 1);
    EXPECT_EQ(CompressionProgressOverlay::fraction(3, 4), 0.75);
}

TEST(CompressionSuccessView, NoteSaysHowManyWereLeftAsTheyWereAndWhy)
{
    using Reason = CompressionService::CompressionResult::SkipReason;
    const auto skipped = [](QList<Reason> reasons) {
        QList<CompressionService::CompressionResult::SkippedFile> files;
        for (Reason reason : reasons)
            files.append({u"/d/x.png"_s, reason, {}});
        return files;
    };
    const struct
    {
        SpaceSaverViewModel::RunSummary run;
        QString note;
    } cases[] = {
        {{5, 5, {}, 0}, QString()},
        {{178, 98, skipped(QList<Reason>(80, Reason::notSmaller)), 0},
         u"Compressed 98 of 178 files. 80 skipped: not smaller as HEIC at this quality."_s},
        {{4, 1, skipped({Reason::notSmaller, Reason::nameTaken, Reason::notSmaller}), 0},
         u"Compressed 1 of 4 files. 3 skipped: 2 not smaller as HEIC at this quality, 1 HEIC name already taken."_s},
        {{1, 0, skipped({Reason::imageKept}), 0},
         u"Compressed 0 of 1 file. 1 skipped: original kept beside its HEIC version."_s},
        {{0, 0, {}, 80}, u"Compressed 0 of 0 files. Left out 80 files already found not smaller at this quality."_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompressionSuccessView::note(c.run), c.note);
}

// The failure card is built while no run has failed yet, with an empty
// message; a long message must still get the height of all its lines.
TEST(OverlayParts, ResultCardWithEmptyOrLongLine)
{
    QWidget window;
    window.resize(1100, 900);
    LogCapture log;
    QString line;
    CenteredOverlay overlay(window, [&line](CenteredOverlay& stack) {
        OverlayParts::resultCard(stack,
                                 {u"exclamationmark.triangle.fill"_s, Qt::red, u"Nothing Was Compressed"_s, line,
                                  Qt::gray, u"OK"_s, u"Every change was rolled back."_s},
                                 [] {});
    });
    EXPECT_TRUE(log.matching(u"Negative sizes"_s).isEmpty()) << log.messages().join(u'\n').toStdString();

    line = u"A very long file name that cannot fit on one line.png: "_s.repeated(4) + u"Failed to load image"_s;
    overlay.rebuild();
    const auto labels = overlay.findChildren<QLabel*>();
    const auto found = std::find_if(labels.cbegin(), labels.cend(), [&](QLabel* l) { return l->text() == line; });
    ASSERT_NE(found, labels.cend());
    EXPECT_GE((*found)->minimumHeight(), (*found)->heightForWidth((*found)->width()));
    EXPECT_GT((*found)->minimumHeight(), (*found)->fontMetrics().height());
}
