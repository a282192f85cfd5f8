#include "InspectorFixture.h"

#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
void submitTag(MetadataInspectorView& inspector, const QString& text)
{
    inspector.tagField()->setText(text);
    QTest::keyClick(inspector.tagField(), Qt::Key_Return);
}

std::optional<Screenshot> inMonitor(const ScreenshotMonitor& monitor, const QUuid& id)
{
    for (const Screenshot& shot : monitor.screenshots()) {
        if (shot.id == id)
            return shot;
    }
    return std::nullopt;
}

struct TagEntryCase
{
    const char* name;
    QStringList before;
    QString typed;
    QStringList after;
    qsizetype writes;
};

void PrintTo(const TagEntryCase& c, std::ostream* os)
{
    *os << c.name;
}
} // namespace

class TagEntry : public InspectorFixture, public ::testing::WithParamInterface<TagEntryCase>
{};

TEST_P(TagEntry, ReturnAddsTheTrimmedTextUnlessItIsEmptyOrPresent)
{
    const TagEntryCase& c = GetParam();
    const Screenshot shot = stored(u"a.png"_s, c.before);
    show(shot);

    submitTag(*m_inspector, c.typed);

    EXPECT_EQ(m_inspector->customTags(), c.after);
    EXPECT_EQ(texts(m_inspector->customTagChips()), c.after);
    EXPECT_TRUE(m_inspector->newTagInput().isEmpty());
    EXPECT_FALSE(m_inspector->showAutoComplete());
    EXPECT_EQ(writes(), c.writes);
    EXPECT_EQ(readBack(shot)->customTags, c.after);
    EXPECT_EQ(m_updates.size(), c.writes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TagEntry,
    ::testing::Values(TagEntryCase{"TrimmedAndSavedOnce", {}, u"  Receipt \n"_s, {u"Receipt"_s}, 1},
                      TagEntryCase{
                          "OtherCaseIsAnotherTag", {u"Receipt"_s}, u"receipt"_s, {u"Receipt"_s, u"receipt"_s}, 1},
                      TagEntryCase{"DuplicateOnlyClears", {u"Receipt"_s}, u"Receipt"_s, {u"Receipt"_s}, 0},
                      TagEntryCase{"EmptyOnlyClears", {}, u""_s, {}, 0},
                      TagEntryCase{"BlanksOnlyClear", {}, u"   "_s, {}, 0}),
    [](const ::testing::TestParamInfo<TagEntryCase>& info) { return std::string(info.param.name); });

class TagEditing : public InspectorFixture
{};

TEST_F(TagEditing, SuggestsFiveStoredTagsInStoredOrderLeavingOutThoseAlreadyPresent)
{
    stored(u"other.png"_s,
           {u"alps"_s, u"Altar"_s, u"Alpha"_s, u"Alloy"_s, u"Algae"_s, u"Alder"_s, u"Album"_s, u"Work"_s});
    const Screenshot shot = stored(u"a.png"_s, {u"Album"_s});
    show(shot);

    m_inspector->tagField()->setText(u" "_s);
    EXPECT_FALSE(m_inspector->showAutoComplete());
    EXPECT_TRUE(m_inspector->suggestionList()->isHidden());

    m_inspector->tagField()->setText(u"al"_s);
    const QStringList expected{u"Alder"_s, u"Algae"_s, u"Alloy"_s, u"Alpha"_s, u"Altar"_s};
    EXPECT_EQ(m_inspector->tagSuggestions(), expected);
    EXPECT_TRUE(m_inspector->showAutoComplete());
    EXPECT_EQ(texts(m_inspector->suggestionButtons()), expected);

    m_inspector->suggestionButtons().at(1)->click();
    EXPECT_EQ(m_inspector->customTags(), (QStringList{u"Album"_s, u"Algae"_s}));
    EXPECT_TRUE(m_inspector->newTagInput().isEmpty());
    EXPECT_FALSE(m_inspector->showAutoComplete());
    EXPECT_EQ(writes(), 1);

    // A new tag joins the stored list in order; present tags stay out of the suggestions.
    submitTag(*m_inspector, u"Alabaster"_s);
    EXPECT_EQ(m_inspector->allExistingTags().first(), u"Alabaster"_s);
    m_inspector->tagField()->setText(u"AL"_s);
    EXPECT_EQ(m_inspector->tagSuggestions(), (QStringList{u"Alder"_s, u"Alloy"_s, u"Alpha"_s, u"Altar"_s, u"alps"_s}));

    // Return takes what was typed, not a suggestion, while the list shows.
    ASSERT_TRUE(m_inspector->showAutoComplete());
    QTest::keyClick(m_inspector->tagField(), Qt::Key_Return);
    EXPECT_EQ(m_inspector->customTags(), (QStringList{u"Album"_s, u"Algae"_s, u"Alabaster"_s, u"AL"_s}));
    EXPECT_FALSE(m_inspector->showAutoComplete());
    EXPECT_TRUE(m_inspector->suggestionList()->isHidden());
}

// A tag longer than the inspector takes is refused with a word, and stays
// in the field whole; one at the limit is added whole.
TEST_F(TagEditing, ATagTooLongIsRefusedWithAMessageAndNeverCut)
{
    const Screenshot shot = stored(u"a.png"_s, {});
    show(shot);
    const QString tooLong = QString(MetadataInspectorView::maxTagLength, u'x') + u"tail"_s;

    submitTag(*m_inspector, tooLong);
    EXPECT_TRUE(m_inspector->customTags().isEmpty());
    EXPECT_EQ(m_inspector->newTagInput(), tooLong) << "nothing typed is lost";
    EXPECT_EQ(m_inspector->tagProblem(), u"Tags can be at most 32,767 characters long."_s);
    EXPECT_EQ(writes(), 0);

    const QString longest(MetadataInspectorView::maxTagLength, u'y');
    submitTag(*m_inspector, longest);
    EXPECT_TRUE(m_inspector->tagProblem().isEmpty());
    EXPECT_EQ(m_inspector->customTags(), QStringList{longest});
    EXPECT_EQ(readBack(shot)->customTags, QStringList{longest});
}

TEST_F(TagEditing, RemovingATagPresentTwiceRemovesBothAndSaves)
{
    const Screenshot shot = stored(u"a.png"_s, {u"Work"_s, u"Home"_s, u"Work"_s});
    show(shot);

    m_inspector->customTagChips().at(2)->removeButton()->click();

    EXPECT_EQ(m_inspector->customTags(), QStringList{u"Home"_s});
    EXPECT_EQ(readBack(shot)->customTags, QStringList{u"Home"_s});
    EXPECT_EQ(writes(), 1);
    // The chip that was pressed goes away safely after its own click.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(texts(m_inspector->customTagChips()), QStringList{u"Home"_s});
}

TEST_F(TagEditing, TheHostHearsFirstAndTheMonitorsListOnTheNextTurn)
{
    const Screenshot shot = stored(u"a.png"_s, {}, u"old"_s);
    show(shot);
    std::optional<Screenshot> monitorDuringCallback;
    m_inspector->setOnScreenshotUpdated([&](const Screenshot& copy) {
        m_updates.append(copy);
        monitorDuringCallback = inMonitor(m_monitor, copy.id);
    });

    submitTag(*m_inspector, u"Receipt"_s);

    ASSERT_EQ(m_updates.size(), 1);
    EXPECT_EQ(m_updates[0].id, shot.id);
    EXPECT_EQ(m_updates[0].customTags, QStringList{u"Receipt"_s});
    EXPECT_EQ(m_updates[0].userNotes, u"old"_s);
    ASSERT_TRUE(monitorDuringCallback);
    EXPECT_TRUE(monitorDuringCallback->customTags.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return inMonitor(m_monitor, shot.id)->customTags == QStringList{u"Receipt"_s}; }));
    // The panel never rewrites the record it was given.
    EXPECT_TRUE(m_inspector->screenshot()->customTags.isEmpty());
}

TEST_F(TagEditing, AFailedWriteIsShownKeepsTheValuesAndPassesNothingOn)
{
    const Screenshot shot = stored(u"a.png"_s, {u"Work"_s});
    show(shot);
    refuseUserDataWrites(true);

    submitTag(*m_inspector, u"Tax"_s);

    EXPECT_TRUE(m_inspector->hasSaveError());
    EXPECT_FALSE(m_inspector->saveErrorRow()->isHidden());
    EXPECT_EQ(m_inspector->customTags(), (QStringList{u"Work"_s, u"Tax"_s}));
    EXPECT_TRUE(m_updates.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(inMonitor(m_monitor, shot.id)->customTags, QStringList{u"Work"_s});
    EXPECT_EQ(readBack(shot)->customTags, QStringList{u"Work"_s});
    EXPECT_TRUE(m_console.contains(u"❌ Failed to save user data"_s));

    refuseUserDataWrites(false);
    m_inspector->retryButton()->click();
    EXPECT_FALSE(m_inspector->hasSaveError());
    EXPECT_TRUE(m_inspector->saveErrorRow()->isHidden());
    EXPECT_EQ(readBack(shot)->customTags, (QStringList{u"Work"_s, u"Tax"_s}));
    ASSERT_EQ(m_updates.size(), 1);
    EXPECT_EQ(m_updates[0].customTags, (QStringList{u"Work"_s, u"Tax"_s}));
}

class NoteEditing : public InspectorFixture
{
protected:
    void type(const QString& text)
    {
        for (const QChar c : text)
            QTest::keyClick(m_inspector->notesEditor(), c.toLatin1());
    }
};

TEST_F(NoteEditing, FiveKeystrokesGiveOneWriteHalfASecondAfterTheLast)
{
    const Screenshot shot = stored(u"a.png"_s);
    show(shot);

    for (const char c : {'a', 'b', 'c', 'd', 'e'}) {
        QTest::keyClick(m_inspector->notesEditor(), c);
        m_clock.advance(100ms);
    }
    m_clock.advance(399ms);
    EXPECT_EQ(writes(), 0);
    m_clock.advance(1ms);
    EXPECT_EQ(writes(), 1);
    EXPECT_EQ(readBack(shot)->userNotes, u"abcde"_s);
    m_clock.advance(5s);
    EXPECT_EQ(writes(), 1);
}

TEST_F(NoteEditing, ANoteOfBlanksIsStoredAsNone)
{
    const Screenshot shot = stored(u"a.png"_s, {}, u"old"_s);
    show(shot);

    m_inspector->notesEditor()->setPlainText(u"  \n\t \n"_s);
    m_clock.advance(500ms);

    EXPECT_FALSE(readBack(shot)->userNotes);
    ASSERT_EQ(m_updates.size(), 1);
    EXPECT_FALSE(m_updates[0].userNotes);
}

TEST_F(NoteEditing, SwitchingWithinTheDelaySavesTheNoteToTheScreenshotItWasTypedFor)
{
    const Screenshot a = stored(u"a.png"_s, {u"Alpha"_s});
    const Screenshot b = stored(u"b.png"_s, {u"Beta"_s}, u"note of B"_s);
    show(a);

    type(u"for A"_s);
    m_clock.advance(200ms);
    m_inspector->setScreenshot(b);

    EXPECT_EQ(readBack(a)->userNotes, u"for A"_s);
    EXPECT_EQ(readBack(a)->customTags, QStringList{u"Alpha"_s});
    ASSERT_EQ(m_updates.size(), 1);
    EXPECT_EQ(m_updates[0].id, a.id);
    EXPECT_EQ(m_inspector->notesText(), u"note of B"_s);
    EXPECT_EQ(m_inspector->customTags(), QStringList{u"Beta"_s});

    m_clock.advance(2s);
    EXPECT_EQ(writes(), 1);
    EXPECT_EQ(readBack(b)->userNotes, u"note of B"_s);
    EXPECT_EQ(readBack(a)->customTags, QStringList{u"Alpha"_s});
}

TEST_F(NoteEditing, ShowingScreenshotsWritesNothing)
{
    const Screenshot a = stored(u"a.png"_s, {u"Alpha"_s}, u"first"_s);
    const Screenshot b = stored(u"b.png"_s, {}, u"second"_s);
    show(a);
    for (const auto& next : {b, a, b})
        m_inspector->setScreenshot(next);
    m_inspector->setScreenshot(std::nullopt);
    m_clock.advance(5s);
    EXPECT_EQ(writes(), 0);
    EXPECT_TRUE(m_updates.isEmpty());
    EXPECT_TRUE(m_inspector->notesText().isEmpty());
}

TEST_F(NoteEditing, HidingWithinTheDelayStillSaves)
{
    const Screenshot shot = stored(u"a.png"_s);
    show(shot);
    type(u"quick"_s);

    m_window.close();

    EXPECT_EQ(readBack(shot)->userNotes, u"quick"_s);
    EXPECT_EQ(m_updates.size(), 1);
    m_clock.advance(1s);
    EXPECT_EQ(writes(), 1);
}

TEST_F(NoteEditing, DestroyingWithinTheDelayStillSavesToStoreAndMonitor)
{
    const Screenshot shot = stored(u"a.png"_s);
    show(shot);
    type(u"last words"_s);

    delete m_inspector;
    m_inspector = nullptr;

    EXPECT_EQ(readBack(shot)->userNotes, u"last words"_s);
    EXPECT_TRUE(m_updates.isEmpty()); // the host may be going away itself
    EXPECT_TRUE(waitUntil([&] { return inMonitor(m_monitor, shot.id)->userNotes == u"last words"_s; }));
    m_clock.advance(1s);
    EXPECT_EQ(writes(), 1);
}

// A write refused while the store could not be written, and the store
// writable again before the user pressed Retry: the panel's last chances
// (going away, closing, quitting) still save the edit.
class FailedSave : public NoteEditing
{
protected:
    // A note typed and refused by a store that turned read-only, which then
    // became writable again.
    Screenshot noteRefusedThenStoreWritable(const QString& note)
    {
        const Screenshot shot = stored(u"a.png"_s);
        show(shot);
        m_database.simulateFault(DatabaseManager::Fault::readOnly);
        type(note);
        m_clock.advance(MetadataInspectorView::noteSaveDelay);
        EXPECT_TRUE(m_inspector->hasSaveError());
        EXPECT_FALSE(readBack(shot)->userNotes);
        m_database.simulateFault(DatabaseManager::Fault::none);
        return shot;
    }
};

TEST_F(FailedSave, DestroyingThePanelSavesTheNoteToStoreAndMonitor)
{
    const Screenshot shot = noteRefusedThenStoreWritable(u"kept"_s);

    delete m_inspector;
    m_inspector = nullptr;

    EXPECT_EQ(readBack(shot)->userNotes, u"kept"_s);
    EXPECT_TRUE(m_updates.isEmpty()); // the host may be going away itself
    EXPECT_TRUE(waitUntil([&] { return inMonitor(m_monitor, shot.id)->userNotes == u"kept"_s; }));
}

TEST_F(FailedSave, QuittingSavesTheNoteOnceEvenIfThePanelIsNeverDestroyed)
{
    const Screenshot shot = noteRefusedThenStoreWritable(u"kept"_s);

    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);

    EXPECT_EQ(readBack(shot)->userNotes, u"kept"_s);
    EXPECT_FALSE(m_inspector->hasSaveError());
    delete m_inspector;
    m_inspector = nullptr;
    EXPECT_EQ(writes(), 1);
}

TEST_F(FailedSave, ClosingThePanelSavesARefusedTag)
{
    const Screenshot shot = stored(u"a.png"_s, {u"Work"_s});
    show(shot);
    refuseUserDataWrites(true);
    submitTag(*m_inspector, u"Tax"_s);
    ASSERT_TRUE(m_inspector->hasSaveError());
    refuseUserDataWrites(false);

    m_window.close();

    EXPECT_EQ(readBack(shot)->customTags, (QStringList{u"Work"_s, u"Tax"_s}));
    EXPECT_FALSE(m_inspector->hasSaveError());
    ASSERT_EQ(m_updates.size(), 1);
    EXPECT_EQ(m_updates[0].customTags, (QStringList{u"Work"_s, u"Tax"_s}));
}

TEST_F(FailedSave, AStoreStillRefusingIsLoggedAndLetsThePanelGo)
{
    const Screenshot shot = stored(u"a.png"_s);
    show(shot);
    m_database.simulateFault(DatabaseManager::Fault::readOnly);
    type(u"lost"_s);
    m_clock.advance(MetadataInspectorView::noteSaveDelay);
    LogCapture log;

    delete m_inspector;
    m_inspector = nullptr;

    EXPECT_FALSE(readBack(shot)->userNotes);
    const QStringList lines = log.matching(u"Could not save the tags and note"_s);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(shot.id.toString(QUuid::WithoutBraces)));
}

TEST_F(NoteEditing, AddingATagWritesTheTrimmedNoteAtOnceAndThePendingSaveStillRuns)
{
    const Screenshot shot = stored(u"a.png"_s);
    show(shot);
    type(u" memo "_s);

    submitTag(*m_inspector, u"Tax"_s);
    EXPECT_EQ(readBack(shot)->userNotes, u"memo"_s);
    EXPECT_EQ(writes(), 1);
    m_clock.advance(500ms);
    EXPECT_EQ(writes(), 2);
    EXPECT_EQ(readBack(shot)->customTags, QStringList{u"Tax"_s});
}

TEST_F(InspectorFixture, FocusInEitherEditorIsEditing)
{
    show(stored(u"a.png"_s));
    m_window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    QSignalSpy changes(m_inspector, &MetadataInspectorView::isEditingChanged);

    m_inspector->tagField()->setFocus();
    EXPECT_TRUE(m_inspector->isEditing());
    m_inspector->notesEditor()->setFocus();
    EXPECT_TRUE(m_inspector->isEditing());
    m_outside->setFocus();
    EXPECT_FALSE(m_inspector->isEditing());
    // Moving between the two editors never let go in between.
    ASSERT_EQ(changes.size(), 2);
    EXPECT_TRUE(changes[0][0].toBool());
    EXPECT_FALSE(changes[1][0].toBool());
}
