#include "OrganizerFixture.h"

#include "core/Clock.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
using History = OrganizeService::OrganizationHistory;
using Entry = OrganizeService::HistoryOperation;

const QDateTime pinnedNow(QDate(2026, 3, 15), QTime(10, 30, 0), Qt::UTC);

Entry entry(const QDateTime& timestamp, const QString& description = u"Organized screenshots"_s)
{
    const OrganizeService::UndoData undo{timestamp,
                                         QUrl::fromLocalFile(u"/home/a/Shots Old"_s),
                                         {{u"0F7A1C2E-1111-4222-8333-944455556666"_s,
                                           u"/home/a/Shots Old/GLIMMERDECK/x.png"_s, u"/home/a/Shots Old/x.png"_s}}};
    return {QUuid::createUuid(), timestamp, description, 1, {true, false, true}, undo};
}

class HistoryFiles : public OrganizerFixture
{
protected:
    HistoryFiles()
    {
        Clock::setSource([] { return pinnedNow; });
    }
    ~HistoryFiles() override { Clock::setSource({}); }

    void writeHistoryText(const QByteArray& text)
    {
        QDir().mkpath(QFileInfo(m_service.historyFileURL()).absolutePath());
        QFile file(m_service.historyFileURL());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
};
} // namespace

TEST_F(HistoryFiles, RoundTripKeepsEveryFieldInWholeSeconds)
{
    History history;
    history.maxOperations = 7;
    history.add(entry(pinnedNow.addSecs(-3600), u"Older ✓ with \"quotes\""_s));
    history.add(entry(pinnedNow));
    m_service.saveHistory(history);
    EXPECT_TRUE(m_console.contains(u"💾 ORGANIZE: History saved (2 operations)"_s));
    EXPECT_EQ(m_service.loadHistory(), history);
    EXPECT_TRUE(m_console.contains(u"📚 ORGANIZE: Loaded history with 2 operations"_s));

    // Fractions are dropped on writing.
    const QDateTime withMilliseconds = pinnedNow.addMSecs(-1700);
    History fractional;
    fractional.add(entry(withMilliseconds));
    const auto decoded = std::get<History>(OrganizeService::decodeHistory(OrganizeService::encodeHistory(fractional)));
    EXPECT_EQ(decoded.operations[0].timestamp, pinnedNow.addSecs(-2));

    const auto& undo = history.operations[0].undoData;
    const auto undoBack = OrganizeService::decodeUndoData(OrganizeService::encodeUndoData(undo));
    EXPECT_EQ(std::get<OrganizeService::UndoData>(undoBack), undo);
}

TEST_F(HistoryFiles, UnreadableFilesLoadAsAnEmptyHistoryThatTheNextSaveReplaces)
{
    const QByteArray good = OrganizeService::encodeHistory([] {
        History history;
        history.add(entry(pinnedNow));
        return history;
    }());
    QByteArray fractional = good;
    fractional.replace("10:30:00Z", "10:30:00.250Z");
    QByteArray withOffset = good;
    withOffset.replace("10:30:00Z", "10:30:00+00:00");
    QByteArray noMax = good;
    noMax.replace("maxOperations", "maxOps");
    QByteArray badId = good;
    badId.replace("\"id\": \"", "\"id\": \"x");
    QByteArray stringCount = good;
    stringCount.replace("\"moveCount\": 1", "\"moveCount\": \"1\"");
    for (const QByteArray& text : {QByteArray(), good.left(good.size() / 2), fractional, withOffset, noMax, badId,
                                   stringCount, QByteArray("[]")}) {
        SCOPED_TRACE(text.toStdString());
        writeHistoryText(text);
        m_console.clear();
        const History loaded = m_service.loadHistory();
        EXPECT_TRUE(loaded.operations.isEmpty());
        EXPECT_EQ(loaded.maxOperations, 10);
        ASSERT_EQ(m_console.matching(u"ORGANIZE"_s).size(), 1);
        EXPECT_TRUE(m_console.matching(u"ORGANIZE"_s)[0].startsWith(u"❌ ORGANIZE: Failed to load history: "_s));
    }
    writeHistoryText(good);
    EXPECT_EQ(m_service.loadHistory().operations.size(), 1);

    QFile::remove(m_service.historyFileURL());
    m_console.clear();
    EXPECT_EQ(m_service.loadHistory(), History());
    EXPECT_TRUE(m_console.matching(u"ORGANIZE"_s).isEmpty());
}

TEST_F(HistoryFiles, EntriesOlderThanThirtyDaysAreDroppedOnLoading)
{
    History history;
    history.add(entry(pinnedNow.addSecs(-2'592'001)));
    history.add(entry(pinnedNow.addSecs(-2'592'000)));
    history.add(entry(pinnedNow.addDays(-1)));
    m_service.saveHistory(history);
    m_console.clear();
    const History loaded = m_service.loadHistory();
    ASSERT_EQ(loaded.operations.size(), 2);
    EXPECT_EQ(loaded.operations[1].timestamp, pinnedNow.addSecs(-2'592'000));
    EXPECT_EQ(m_console.matching(u"ORGANIZE"_s), QStringList{u"📚 ORGANIZE: Loaded history with 2 operations"_s});
}

TEST_F(HistoryFiles, AddingTrimsOneEntryFromTheEnd)
{
    struct Case
    {
        int maxOperations, before, after;
    };
    for (const Case& c : {Case{10, 10, 10}, Case{10, 3, 4}, Case{3, 5, 5}, Case{0, 0, 0}}) {
        History history;
        history.maxOperations = c.maxOperations;
        for (int i = 0; i < c.before; ++i)
            history.operations.append(entry(pinnedNow.addSecs(-i)));
        const QList<Entry> earlier = history.operations;
        const Entry added = entry(pinnedNow.addSecs(1));
        history.add(added);
        EXPECT_EQ(history.operations.size(), c.after);
        if (c.after > 0) {
            EXPECT_EQ(history.operations.first(), added);
            EXPECT_EQ(history.operations.mid(1), earlier.mid(0, c.after - 1));
        }
    }
}

TEST_F(HistoryFiles, LowerCaseIdsAreReadAndWrittenUpperCase)
{
    History history;
    history.add(entry(pinnedNow));
    QByteArray text = OrganizeService::encodeHistory(history);
    const QByteArray id = history.operations[0].id.toString(QUuid::WithoutBraces).toUpper().toLatin1();
    text.replace(id, id.toLower());
    text.replace("0F7A1C2E-1111-4222-8333-944455556666", "0f7a1c2e-1111-4222-8333-944455556666");
    writeHistoryText(text);
    const History loaded = m_service.loadHistory();
    ASSERT_EQ(loaded.operations.size(), 1);
    EXPECT_EQ(loaded.operations[0].id, history.operations[0].id);
    EXPECT_EQ(loaded.operations[0].undoData.operations[0].screenshotId, u"0F7A1C2E-1111-4222-8333-944455556666"_s);
    m_service.saveHistory(loaded);
    QFile file(m_service.historyFileURL());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    EXPECT_TRUE(saved.contains(id));
    EXPECT_FALSE(saved.contains(id.toLower()));
    EXPECT_FALSE(saved.contains("0f7a1c2e"));
}

TEST_F(HistoryFiles, ClearingLogsEvenWithoutAFileAndAFailedSaveKeepsTheOldFile)
{
    m_console.clear();
    m_service.clearHistory();
    m_service.clearUndoData();
    EXPECT_EQ(m_console.matching(u"ORGANIZE"_s),
              (QStringList{u"🗑️ ORGANIZE: History cleared"_s, u"🗑️ ORGANIZE: Undo data cleared"_s}));

    History history;
    history.add(entry(pinnedNow));
    m_service.saveHistory(history);
    m_fileOps.failNth(FaultyFileOps::Step::Write, m_fileOps.calls(FaultyFileOps::Step::Write) + 1);
    History longer = history;
    longer.add(entry(pinnedNow));
    m_console.clear();
    m_service.saveHistory(longer);
    EXPECT_TRUE(m_console.matching(u"ORGANIZE"_s)[0].startsWith(u"❌ ORGANIZE: Failed to save history: "_s));
    EXPECT_EQ(m_service.loadHistory(), history);
}
