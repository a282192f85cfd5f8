#include "core/Clock.h"
#include "core/LogTimer.h"
#include "core/Logger.h"
#include "core/MemoryInfo.h"
#include "support/Capture.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
class LoggerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clock::setSource([] { return QDateTime(QDate(2026, 3, 1), QTime(14, 3, 7, 412)); });
    }
    void TearDown() override { Clock::setSource({}); }

    LogCapture m_log;
};
} // namespace

TEST_F(LoggerTest, WritesTheExactLineWithMetadataInOrder)
{
    Logger::log(LogLevel::info, u"Memory"_s, u"Memory pressure relieved"_s,
                {{u"availableMB"_s, 812}, {u"appUsageMB"_s, 402.7}});
    ASSERT_EQ(m_log.entries().size(), 1);
    const LogCapture::Entry entry = m_log.entries().first();
    EXPECT_EQ(entry.message,
              u"[14:03:07.412] [Memory] [INFO] Memory pressure relieved | availableMB=812, appUsageMB=402.7"_s);
    EXPECT_EQ(entry.category, u"org.brindlework.Glimmerdeck.Memory"_s);
    EXPECT_EQ(entry.type, QtInfoMsg);
}

TEST_F(LoggerTest, AbsentOrEmptyMetadataAddsNothing)
{
    Logger::log(LogLevel::debug, u"OCR"_s, u"Starting OCR"_s);
    Logger::log(LogLevel::debug, u"OCR"_s, u"Starting OCR"_s, LogMetadata{});
    for (const QString& message : m_log.messages())
        EXPECT_EQ(message, u"[14:03:07.412] [OCR] [DEBUG] Starting OCR"_s);
    EXPECT_EQ(m_log.messages().size(), 2);
}

TEST_F(LoggerTest, LevelsCarryTheirPrefixesAndTypes)
{
    Logger::log(LogLevel::warning, u"Vision"_s, u"careful"_s);
    Logger::log(LogLevel::error, u"Database"_s, u"broken"_s);
    const auto entries = m_log.entries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].message, u"⚠️ [14:03:07.412] [Vision] [WARNING] careful"_s);
    EXPECT_EQ(entries[0].type, QtWarningMsg);
    EXPECT_EQ(entries[1].message, u"❌ [14:03:07.412] [Database] [ERROR] broken"_s);
    EXPECT_EQ(entries[1].type, QtCriticalMsg);
}

TEST_F(LoggerTest, UnknownCategoriesGoThroughGeneralUnderTheirOwnName)
{
    Logger::log(LogLevel::info, u"Performance"_s, u"x"_s);
    Logger::log(LogLevel::info, u"Scan"_s, u"y"_s);
    Logger::log(LogLevel::info, u"ocr"_s, u"z"_s); // names are exact
    const auto entries = m_log.entries();
    ASSERT_EQ(entries.size(), 3);
    for (const auto& entry : entries)
        EXPECT_EQ(entry.category, u"org.brindlework.Glimmerdeck.General"_s);
    EXPECT_TRUE(entries[0].message.contains(u"] [Performance] [INFO] x"_s));
    EXPECT_TRUE(entries[1].message.contains(u"] [Scan] [INFO] y"_s));
}

TEST(LoggerFormat, ValuesTakeTheirDefaultTextForm)
{
    EXPECT_EQ(Logger::formatValue(2.0), u"2.0"_s);
    EXPECT_EQ(Logger::formatValue(0.25), u"0.25"_s);
    EXPECT_EQ(Logger::formatValue(1843.2), u"1843.2"_s);
    EXPECT_EQ(Logger::formatValue(0.1 + 0.2), u"0.30000000000000004"_s);
    EXPECT_EQ(Logger::formatValue(-3.0), u"-3.0"_s);
    // Never an exponent, however large or small.
    EXPECT_EQ(Logger::formatValue(100000.0), u"100000.0"_s);
    EXPECT_EQ(Logger::formatValue(0.0001), u"0.0001"_s);
    EXPECT_EQ(Logger::formatValue(1.5e-7), u"0.00000015"_s);
    EXPECT_EQ(Logger::formatValue(-2.5e20), u"-250000000000000000000.0"_s);
    EXPECT_EQ(Logger::formatValue(float(1e6)), u"1000000.0"_s);
    EXPECT_EQ(Logger::formatMetadata({{u"availableMB"_s, 123456.0}}), u" | availableMB=123456.0"_s);
    EXPECT_EQ(Logger::formatValue(qint64(9007199254740993)), u"9007199254740993"_s);
    EXPECT_EQ(Logger::formatValue(true), u"true"_s);
    EXPECT_EQ(Logger::formatValue(u"a b"_s), u"a b"_s);
    EXPECT_EQ(Logger::formatMetadata({}), QString());
    EXPECT_EQ(Logger::formatMetadata({{u"k"_s, false}}), u" | k=false"_s);
}

TEST(LoggerFormat, SettingAKeyAgainReplacesItInPlace)
{
    LogMetadata metadata{{u"a"_s, 1}, {u"b"_s, 2}};
    metadata.set(u"a"_s, 3);
    metadata.set(u"c"_s, 4);
    EXPECT_EQ(Logger::formatMetadata(metadata), u" | a=3, b=2, c=4"_s);
}

TEST(LogTimerFormat, TimerEntriesReplaceTheCallersAndUseFixedDecimals)
{
    const LogMetadata metadata = LogTimer::endMetadata(
        {{u"id"_s, u"mine"_s}, {u"files"_s, 4}, {u"durationSeconds"_s, 99}}, u"batch_1"_s, 12.3456, 100.04, 87.5);
    EXPECT_EQ(Logger::formatMetadata(metadata),
              u" | id=batch_1, files=4, durationSeconds=12.346, startMemoryMB=100.0, endMemoryMB=87.5, "
              "memoryDeltaMB=-12.5"_s);
    const LogMetadata quick = LogTimer::endMetadata({}, u"t"_s, 0.0004, 0, 0);
    EXPECT_EQ(Logger::formatMetadata(quick),
              u" | id=t, durationSeconds=0.000, startMemoryMB=0.0, endMemoryMB=0.0, memoryDeltaMB=0.0"_s);
}

TEST_F(LoggerTest, TimerLogsStartAndEachEnd)
{
    LogTimer timer(u"ocr_shot.png"_s);
    const double first = timer.end({{u"chars"_s, 10}});
    const double second = timer.end();
    EXPECT_GE(first, 0.0);
    EXPECT_GE(second, first);

    const QStringList messages = m_log.messages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_TRUE(messages[0].startsWith(u"[14:03:07.412] [Performance] [DEBUG] Timer started | id=ocr_shot.png, "
                                       "startMemoryMB="_s))
        << messages[0].toStdString();
    EXPECT_TRUE(messages[1].contains(u"[Performance] [INFO] Timer ended | chars=10, id=ocr_shot.png, "
                                     "durationSeconds="_s))
        << messages[1].toStdString();
    EXPECT_EQ(messages[1].count(u'='), 6);
    EXPECT_EQ(messages[2].count(u'='), 5);
}

TEST(MemoryInfo, ReadsResidentPagesFromStatm)
{
    EXPECT_DOUBLE_EQ(MemoryInfo::residentMBFromStatm("123456 2560 300 1 0 500 0\n", 4096), 10.0);
    EXPECT_DOUBLE_EQ(MemoryInfo::residentMBFromStatm("", 4096), 0.0);
    EXPECT_DOUBLE_EQ(MemoryInfo::residentMBFromStatm("12 x", 4096), 0.0);
    EXPECT_GT(MemoryInfo::current().usedMB, 1.0);
}
