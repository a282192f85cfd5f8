#include "platform/HunspellSpellChecker.h"
#include "support/Capture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const std::atomic<bool> kRunning{false};

TEST(HunspellSpellCheckerTest, CorrectsOnlyRejectedWordsAndKeepsEverythingElse)
{
    HunspellSpellChecker checker;
    ASSERT_TRUE(checker.isAvailable()) << "hunspell-en-us is installed by scripts/setup";
    EXPECT_EQ(checker.correction(u"recieve the Invocie"_s, kRunning), u"receive the Invoice"_s);
    EXPECT_EQ(checker.correction(u"  recieve,  order #42!"_s, kRunning), u"  receive,  order #42!"_s);
    EXPECT_EQ(checker.correction(u"payment receipt"_s, kRunning), std::nullopt);
    EXPECT_EQ(checker.correction(u"don't 1234"_s, kRunning), std::nullopt);
    EXPECT_EQ(checker.correction(u" "_s, kRunning), std::nullopt);
    // Asked again (every keystroke asks), the answer is the same.
    EXPECT_EQ(checker.correction(u"recieve the Invocie"_s, kRunning), u"receive the Invoice"_s);
}

TEST(HunspellSpellCheckerTest, CancelledOrWithoutDictionaryCorrectsNothing)
{
    HunspellSpellChecker checker;
    const std::atomic<bool> cancelled{true};
    EXPECT_EQ(checker.correction(u"recieve"_s, cancelled), std::nullopt);
    // A cancelled answer is not remembered.
    EXPECT_EQ(checker.correction(u"recieve"_s, kRunning), u"receive"_s);

    LogCapture log;
    QTemporaryDir dir;
    HunspellSpellChecker missing(dir.filePath(u"xx.aff"_s), dir.filePath(u"xx.dic"_s));
    EXPECT_FALSE(missing.isAvailable());
    EXPECT_EQ(missing.correction(u"recieve"_s, kRunning), std::nullopt);
    EXPECT_TRUE(log.contains(u"Spelling dictionary not found"_s));
}
} // namespace
