#include "DuplicateLibrary.h"
#include "core/ByteCount.h"
#include "duplicates/DuplicateFinderView.h"
#include "duplicates/DuplicateGroupList.h"
#include "duplicates/DuplicateGroupRow.h"
#include "duplicates/DuplicatePreviewView.h"
#include "duplicates/DuplicateThumbnailCard.h"
#include "duplicates/MemberThumbnails.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"

#include <QBuffer>
#include <QFileInfo>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
QString titleText(const PlainButton& button)
{
    return button.findChildren<QLabel*>().last()->text();
}

QSet<QString> namesOf(const QSet<QUuid>& ids, const DuplicateGroupRow& row)
{
    QSet<QString> names;
    for (const Screenshot& member : row.group().screenshots) {
        if (ids.contains(member.id))
            names.insert(member.filename);
    }
    return names;
}
} // namespace

class DuplicateFinderViewTest : public DuplicateLibrary
{
protected:
    // a, b, c: three copies (c newest); x, y: two copies of another size.
    void plantAndShow()
    {
        plant(u"a.png"_s, m_picture, 30);
        plant(u"b.png"_s, m_picture, 20);
        plant(u"c.png"_s, m_picture, 10);
        plant(u"x.png"_s, QByteArray(4500, 'x'), 5);
        plant(u"y.png"_s, QByteArray(4500, 'x'), 3);
        startMonitoring(5);
        m_view = std::make_unique<DuplicateFinderView>(*m_monitor, m_store, m_trash, m_parts.workers);
        m_view->resize(1000, 800);
        m_view->show();
    }

    void analyseOnScreen()
    {
        m_view->startScanButton()->click();
        ASSERT_TRUE(waitUntil([&] { return view().viewModel().result() && !view().viewModel().isAnalyzing(); }));
    }

    DuplicateFinderView& view() { return *m_view; }
    DuplicateGroupRow* row(int index) { return view().groupList()->showRow(index); }

    void TearDown() override { m_view.reset(); }

    static QByteArray pictureBytes()
    {
        // Noise, so that the file is larger than the other group's.
        QImage image(160, 100, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, random.generate() | 0xff000000);
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

    const QByteArray m_picture = pictureBytes();
    std::unique_ptr<DuplicateFinderView> m_view;
};

TEST_F(DuplicateFinderViewTest, HeaderAndContentFollowTheAnalysis)
{
    plantAndShow();
    EXPECT_EQ(view().content(), DuplicateFinderView::Content::Idle);
    EXPECT_EQ(view().subtitle()->text(), u"Find and remove duplicate screenshots"_s);
    EXPECT_EQ(titleText(*view().analyzeButton()), u"Find Duplicates"_s);
    EXPECT_FALSE(view().autoDeleteButton()->isVisible());

    view().startScanButton()->click();
    EXPECT_TRUE(view().progressBlock()->isVisible());
    EXPECT_FALSE(view().analyzeButton()->isVisible());
    EXPECT_EQ(view().progressText()->text(), u"Analyzing 0/0"_s);
    EXPECT_EQ(view().content(), DuplicateFinderView::Content::Idle); // until the result is in

    ASSERT_TRUE(waitUntil([&] { return view().viewModel().result() && !view().viewModel().isAnalyzing(); }));
    EXPECT_EQ(view().content(), DuplicateFinderView::Content::Groups);
    EXPECT_EQ(view().subtitle()->text(), u"Found 2 groups • 3 duplicates • %1 can be saved"_s.arg(
                                             formatFileByteCount(2 * m_picture.size() + 4500)));
    EXPECT_EQ(titleText(*view().analyzeButton()), u"Scan Again"_s);
    EXPECT_TRUE(view().autoDeleteButton()->isVisible());
    EXPECT_FALSE(view().progressBlock()->isVisible());

    // Largest reclaimable space first.
    ASSERT_GT(2 * m_picture.size(), 4500);
    const QList<DuplicateGroupRow*> rows = view().groupList()->builtRows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]->group().screenshots.size(), 3);
    EXPECT_TRUE(rows[0]->findChildren<QLabel*>().first()->text() == u"3 Identical Files"_s);
    EXPECT_FALSE(rows[0]->deleteButton()->isVisible());
}

TEST_F(DuplicateFinderViewTest, KeepButtonsReplaceTheMarksAndDeleteSendsThemToTheTrash)
{
    plantAndShow();
    analyseOnScreen();
    DuplicateGroupRow* abc = row(0);
    ASSERT_TRUE(abc);
    // Thumbnails arrive off the GUI thread, one per card.
    EXPECT_TRUE(waitUntil([&] {
        return std::all_of(abc->cards().cbegin(), abc->cards().cend(), [](auto* card) { return card->hasThumbnail(); });
    }));

    abc->cards()[2]->selectionButton()->click(); // c by hand
    abc->keepNewestButton()->click();
    EXPECT_EQ(namesOf(abc->selectedForDeletion(), *abc), (QSet<QString>{u"a.png"_s, u"b.png"_s}));
    abc->keepOldestButton()->click();
    EXPECT_EQ(namesOf(abc->selectedForDeletion(), *abc), (QSet<QString>{u"b.png"_s, u"c.png"_s}));
    EXPECT_TRUE(abc->deleteButton()->isVisible());
    EXPECT_EQ(titleText(*abc->deleteButton()), u"Delete 2"_s);

    // Every member marked: nothing would be left, so the button is off.
    for (DuplicateThumbnailCard* card : abc->cards()) {
        if (!card->isSelected())
            card->selectionButton()->click();
    }
    EXPECT_EQ(titleText(*abc->deleteButton()), u"Delete 3"_s);
    EXPECT_FALSE(abc->deleteButton()->isEnabled());

    abc->keepNewestButton()->click();
    QSignalSpy finished(&view().viewModel(), &DuplicateFinderViewModel::deletionFinished);
    abc->deleteButton()->click();
    EXPECT_FALSE(abc->deleteButton()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1 && !view().viewModel().isAnalyzing(); }));

    EXPECT_EQ(trashedOriginals(), (QStringList{m_folder + u"/a.png"_s, m_folder + u"/b.png"_s}));
    const QList<DuplicateGroupRow*> rows = view().groupList()->builtRows();
    ASSERT_EQ(rows.size(), 1);                         // the cards of a, b and c are gone with their group
    EXPECT_EQ(rows[0]->group().screenshots.size(), 2); // x and y
    EXPECT_TRUE(rows[0]->selectedForDeletion().isEmpty());
}

TEST_F(DuplicateFinderViewTest, PreviewOpensOnTheFirstMemberAndClampsTheKeys)
{
    plantAndShow();
    analyseOnScreen();
    row(0)->cards()[2]->picture()->click();
    ASSERT_TRUE(waitUntil([&] { return view().preview() != nullptr; }));
    DuplicatePreviewView& preview = *view().preview();
    EXPECT_EQ(preview.currentIndex(), 0);
    EXPECT_EQ(preview.positionText(), u"1 of 3"_s);
    EXPECT_FALSE(preview.previousButton()->isEnabled());

    QTest::keyClick(&preview, Qt::Key_Left);
    EXPECT_EQ(preview.currentIndex(), 0);
    QTest::keyClick(&preview, Qt::Key_Right);
    QTest::keyClick(&preview, Qt::Key_Right);
    EXPECT_EQ(preview.positionText(), u"3 of 3"_s);
    EXPECT_FALSE(preview.nextButton()->isEnabled());
    QTest::keyClick(&preview, Qt::Key_Right);
    EXPECT_EQ(preview.currentIndex(), 2);
    EXPECT_TRUE(waitUntil([&] { return !preview.isLoading() && preview.hasFullImage(); }));

    QTest::keyClick(&preview, Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return view().preview() == nullptr; }));
    EXPECT_FALSE(view().viewModel().previewingGroup().has_value());
}

TEST_F(DuplicateFinderViewTest, MembersSentAwayFromThePreviewAreGoneAndCannotBeActedOnAgain)
{
    plantAndShow();
    analyseOnScreen();
    row(0)->cards()[0]->picture()->click();
    ASSERT_TRUE(waitUntil([&] { return view().preview() != nullptr; }));
    DuplicatePreviewView& preview = *view().preview();
    const QString first = preview.group().screenshots[0].filePath;

    QSignalSpy finished(&view().viewModel(), &DuplicateFinderViewModel::deletionFinished);
    preview.deleteButton()->click(); // "Delete This" on the first member
    EXPECT_EQ(preview.currentIndex(), 1);
    EXPECT_TRUE(preview.keepButton()->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_TRUE(trashedOriginals().contains(first));

    preview.showPrevious();
    EXPECT_TRUE(preview.isCurrentGone());
    EXPECT_FALSE(preview.keepButton()->isEnabled());
    EXPECT_FALSE(preview.deleteButton()->isEnabled());
    EXPECT_EQ(preview.positionText(), u"1 of 3"_s); // still counted

    preview.showNext();
    preview.keepButton()->click(); // keeps the second: the third goes, the first is gone already
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2 && view().preview() == nullptr; }));
    EXPECT_EQ(QDir(m_folder).entryList({u"*.png"_s}, QDir::Files, QDir::Name),
              (QStringList{u"b.png"_s, u"x.png"_s, u"y.png"_s}));
}

TEST_F(DuplicateFinderViewTest, TheLastCopyLeftCannotBeDeletedFromThePreview)
{
    plantAndShow();
    analyseOnScreen();
    row(0)->cards()[0]->picture()->click();
    ASSERT_TRUE(waitUntil([&] { return view().preview() != nullptr; }));
    DuplicatePreviewView& preview = *view().preview();
    QSignalSpy finished(&view().viewModel(), &DuplicateFinderViewModel::deletionFinished);
    EXPECT_TRUE(preview.deleteButton()->isEnabled());
    preview.deleteButton()->click(); // the first, showing the second
    preview.deleteButton()->click(); // the second, showing the third: the only copy left
    EXPECT_EQ(preview.currentIndex(), 2);
    EXPECT_TRUE(preview.isCurrentLastCopy());
    EXPECT_FALSE(preview.deleteButton()->isEnabled());
    EXPECT_TRUE(preview.keepButton()->isEnabled());
    preview.deleteCurrent(); // asked for all the same (a key, a late click): nothing happens
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2 && !view().viewModel().isAnalyzing(); }));
    EXPECT_FALSE(preview.deleteButton()->isEnabled()) << "still the last copy once the deletions are done";
    QStringList left{preview.group().screenshots[2].filename, u"x.png"_s, u"y.png"_s};
    left.sort();
    EXPECT_EQ(QDir(m_folder).entryList({u"*.png"_s}, QDir::Files, QDir::Name), left);
    EXPECT_FALSE(m_console.contains(u"no other copy of it would remain"_s)) << "the finder was never asked";
}

TEST_F(DuplicateFinderViewTest, MemberCardsTellTheirCopiesApart)
{
    plantAndShow();
    analyseOnScreen();
    DuplicateThumbnailCard* card = row(0)->cards()[0];
    const Screenshot& member = card->screenshot();
    // The name, cut to the card's width, carries the whole name and the folder.
    bool named = false;
    for (QLabel* label : card->findChildren<QLabel*>())
        if (label->toolTip() == member.filename + u'\n' + QDir::toNativeSeparators(m_folder))
            named = true;
    EXPECT_TRUE(named);

    // "Select" is secondary text, inside its button as well.
    QLabel* select = nullptr;
    for (QLabel* label : card->selectionButton()->findChildren<QLabel*>())
        if (label->text() == u"Select"_s)
            select = label;
    ASSERT_NE(select, nullptr);
    QImage drawn(select->size(), QImage::Format_ARGB32);
    drawn.fill(Qt::black);
    select->render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
    int brightest = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            brightest = std::max(brightest, qGray(drawn.pixel(x, y)));
    EXPECT_NEAR(brightest, qRound(0.7 * 255), 12);
}

TEST_F(DuplicateFinderViewTest, ALongListBuildsOnlyTheCardsNearTheViewAndKeepsTheirMarks)
{
    for (int i = 0; i < 120; ++i) {
        plant(u"g%1-a.png"_s.arg(i), QByteArray(1000 + i, char('a' + i % 26)), 40);
        plant(u"g%1-b.png"_s.arg(i), QByteArray(1000 + i, char('a' + i % 26)), 20);
    }
    startMonitoring(240);
    m_view = std::make_unique<DuplicateFinderView>(*m_monitor, m_store, m_trash, m_parts.workers);
    m_view->resize(1000, 800);
    m_view->show();
    analyseOnScreen();

    DuplicateGroupList& list = *view().groupList();
    ASSERT_EQ(list.groups().size(), 120);
    EXPECT_LT(list.builtRows().size(), 12);
    list.builtRows().first()->keepNewestButton()->click();
    const QUuid marked = list.builtRows().first()->group().id;

    DuplicateGroupRow* last = list.showRow(119);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->group().id, list.groups().last().id);
    EXPECT_LT(list.builtRows().size(), 12);
    EXPECT_EQ(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());

    DuplicateGroupRow* first = list.showRow(0);
    EXPECT_EQ(first->group().id, marked);
    EXPECT_EQ(first->selectedForDeletion().size(), 1);
}

TEST(DuplicateFinderViewText, TheDeletionLineSaysWhatWentAndWhatStayedAndWhy)
{
    using Report = DuplicateFinderViewModel::DeletionReport;
    const QString changed = u"changed since the scan"_s;
    const QString refused = u"refused by the Trash"_s;
    const struct
    {
        Report report;
        QString text;
    } cases[] = {
        {{1, {}, {}}, u"Moved 1 file to the Trash."_s},
        {{0, {}, {}}, u"Nothing was moved to the Trash."_s},
        // Reasons keep the order they first came in, each with all its names.
        {{2, {{u"a.png"_s, changed}, {u"b.png"_s, refused}, {u"c.png"_s, changed}}, {}},
         u"Moved 2 files to the Trash. Not deleted (changed since the scan): a.png, c.png. "
         u"Not deleted (refused by the Trash): b.png."_s},
        // In the Trash whether or not the store let their rows go.
        {{0, {}, {u"d.png"_s, u"e.png"_s}},
         u"Moved 2 files to the Trash. The library could not remove the entries of d.png, e.png now; they are "
         u"removed at the next start."_s},
        {{1, {}, {u"d.png"_s}},
         u"Moved 2 files to the Trash. The library could not remove the entries of d.png now; they are removed at "
         u"the next start."_s},
        // A clean-up of many stays one short line.
        {{3,
          {{u"1.png"_s, refused},
           {u"2.png"_s, refused},
           {u"3.png"_s, refused},
           {u"4.png"_s, refused},
           {u"5.png"_s, refused},
           {u"6.png"_s, refused},
           {u"7.png"_s, refused}},
          {}},
         u"Moved 3 files to the Trash. Not deleted (refused by the Trash): 1.png, 2.png, 3.png, 4.png, 5.png and 2 "
         u"more."_s},
    };
    for (const auto& each : cases)
        EXPECT_EQ(DuplicateFinderView::deletionText(each.report), each.text);
}

TEST_F(DuplicateFinderViewTest, TheScreenReportsEachDeletionUnderTheHeader)
{
    plantAndShow();
    EXPECT_EQ(view().deletionLine(), nullptr);
    analyseOnScreen();
    QSignalSpy finished(&view().viewModel(), &DuplicateFinderViewModel::deletionFinished);

    // The Trash refuses b: a goes, b stays, and the line says so in red.
    m_trash.refused.append(m_folder + u"/b.png"_s);
    DuplicateGroupRow* abc = row(0);
    ASSERT_TRUE(abc);
    abc->keepNewestButton()->click();
    abc->deleteButton()->click();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1 && !view().viewModel().isAnalyzing(); }));
    QLabel* partial = view().deletionLine();
    ASSERT_TRUE(partial && partial->isVisible());
    EXPECT_EQ(view().deletionLine()->text(),
              u"Moved 1 file to the Trash. Not deleted (refused by the Trash): b.png."_s);
    EXPECT_EQ(view().deletionLine()->palette().color(QPalette::WindowText), PremiumTheme::error());
    EXPECT_TRUE(QFileInfo::exists(m_folder + u"/b.png"_s));

    // The next deletion, clean, replaces it in green.
    m_trash.refused.clear();
    view().viewModel().deleteDuplicates({listed(u"y.png"_s).id});
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2 && !view().viewModel().isAnalyzing(); }));
    EXPECT_EQ(view().deletionLine()->text(), u"Moved 1 file to the Trash."_s);
    EXPECT_EQ(view().deletionLine()->palette().color(QPalette::WindowText), PremiumTheme::success());
    EXPECT_TRUE(view().deletionLine()->isVisible());
    EXPECT_FALSE(partial->isVisible() && partial != view().deletionLine()) << "one report at a time";
}

// A rendition still being made when its preview closes is left to finish on
// its own: closing does not wait for it, and its result goes nowhere.
TEST(MemberThumbnails, GoingAwayLeavesARenditionUnderWayToFinishAlone)
{
    Workers workers;
    QSemaphore started;
    QSemaphore gate;
    std::atomic<bool> finished = false;
    auto thumbnails = std::make_unique<MemberThumbnails>(QSizeF(64, 64), 4, workers.thumbnails());
    thumbnails->setGenerator([&](const Screenshot&, QSizeF) {
        started.release();
        gate.tryAcquire(1, 10000); // a decode of some seconds
        finished = true;
        return QImage(8, 8, QImage::Format_RGB32);
    });
    Screenshot member(u"/nowhere/big.png"_s, QUuid::createUuid());
    EXPECT_FALSE(thumbnails->request(member).has_value());
    ASSERT_TRUE(started.tryAcquire(1, 5000));

    thumbnails.reset();
    EXPECT_FALSE(finished) << "going away waited for the rendition";
    gate.release();
    workers.thumbnails().waitForDone();
    QCoreApplication::processEvents(); // the late result reaches nobody
    EXPECT_TRUE(finished);
}
