#include "core/EditDistance.h"
#include "core/LinkDetector.h"
#include "core/Workers.h"
#include "ingest/SentenceEncoder.h"
#include "library/GallerySearch.h"
#include "library/LibrarySpellChecker.h"
#include "library/LibraryVocabulary.h"
#include "library/SearchIndex.h"
#include "library/Vocabulary.h"
#include "platform/HunspellSpellChecker.h"
#include "support/FakeLibrary.h"
#include "support/ManualScheduler.h"
#include "support/Wait.h"

#include <QUuid>

#include <gtest/gtest.h>

#include <QThreadPool>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

using namespace Qt::StringLiterals;

namespace {
const std::atomic<bool> kRunning{false};

std::u16string u16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
}

std::optional<QString> closestTo(const QStringList& texts, const QString& word)
{
    const std::optional<Vocabulary::Match> match = Vocabulary::fromTexts(texts)->closest(word);
    return match ? std::optional<QString>(match->word) : std::nullopt;
}

TEST(VocabularyTest, FindsTheClosestLibraryWordWithinTheEditsALengthAllows)
{
    const struct
    {
        QStringList texts;
        QString typed;
        std::optional<QString> expected;
    } cases[] = {
        {{u"$ kubectl get pods -n payments"_s}, u"kubctl"_s, u"kubectl"_s}, // a letter left out
        {{u"Dear Chidi Okonkwo,"_s}, u"Okonkow"_s, u"okonkwo"_s},           // neighbours swapped
        {{u"Lunch at the Lindenhof"_s}, u"Lindenhoff"_s, u"lindenhof"_s},   // a letter too many
        {{u"Order from Deliveroo"_s}, u"Deliveru"_s, u"deliveroo"_s},       // two edits after the seventh letter
        {{u"Flight to Reykjavik"_s}, u"Rekjaviik"_s, u"reykjavik"_s},       // two edits in a long word
        {{u"kubectl"_s}, u"KUBCTL"_s, u"kubectl"_s},                        // case ignored
        {{u"Lunch in Malmö"_s}, u"Malmo"_s, u"malmö"_s},                    // beyond ASCII
        {{u"list the pods"_s}, u"pdos"_s, u"pods"_s},                       // four letters: one edit
        {{u"tokio runtime"_s}, u"tkoi"_s, std::nullopt},                    // four letters: two edits is too far
        {{u"shipping label"_s}, u"lbal"_s, std::nullopt},
        {{u"the cat sat"_s}, u"cta"_s, std::nullopt}, // three letters: never
        {{u"kubectl"_s}, u"kubectl"_s, std::nullopt}, // a library word stays
        {{u"zebra crossing"_s}, u"kubctl"_s, std::nullopt},
        {{u"cart card card"_s}, u"carx"_s, u"card"_s}, // ties: the more frequent
        {{u"$ terraform apply"_s}, u"teraform"_s, u"terraform"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(closestTo(c.texts, c.typed), c.expected) << c.typed.toStdString();
}

TEST(VocabularyTest, CountsWordsOfEveryFieldIgnoringCase)
{
    Screenshot screenshot;
    screenshot.filename = u"Screenshot Hallstatt.png"_s;
    screenshot.ocrText = u"don't forget: serde_json v1.0 in Hallstatt, e-mail"_s;
    screenshot.userNotes = u"cabin keys"_s;
    screenshot.tags = {u"travel booking"_s};
    screenshot.customTags = {u"Holiday"_s};
    const auto vocabulary = Vocabulary::build({screenshot, screenshot}, kRunning);
    ASSERT_TRUE(vocabulary);
    const std::map<QString, quint32> counts{{u"hallstatt"_s, 4},  {u"HALLSTATT"_s, 4}, {u"don't"_s, 2},
                                            {u"serde_json"_s, 2}, {u"v1"_s, 2},        {u"mail"_s, 2},
                                            {u"cabin"_s, 2},      {u"booking"_s, 2},   {u"holiday"_s, 2},
                                            {u"forget:"_s, 0},    {u"don"_s, 0},       {u"e-mail"_s, 0}};
    for (const auto& [word, count] : counts)
        EXPECT_EQ(vocabulary->count(word), count) << word.toStdString();
    const std::atomic<bool> cancelled{true};
    EXPECT_EQ(Vocabulary::build({screenshot}, cancelled), nullptr);
}

// The index must find every library word one edit away from what was typed,
// wherever the edit is, as well as a scan of every word would.
TEST(VocabularyTest, NeverMissesAWordOneEditAwayAgainstAFullScan)
{
    std::mt19937 random(7);
    const auto letter = [&] { return QChar(u'a' + std::uniform_int_distribution<int>(0, 7)(random)); };
    QStringList words;
    for (int i = 0; i < 1500; ++i) {
        QString word;
        for (int n = std::uniform_int_distribution<int>(4, 11)(random); n > 0; --n)
            word += letter();
        words.append(word);
    }
    const auto vocabulary = Vocabulary::fromTexts({words.join(u' ')});
    for (int i = 0; i < 600; ++i) {
        QString typed = words[std::uniform_int_distribution<qsizetype>(0, words.size() - 1)(random)];
        const auto at = std::uniform_int_distribution<qsizetype>(0, typed.size() - 1)(random);
        switch (i % 4) {
        case 0:
            typed.remove(at, 1);
            break;
        case 1:
            typed.insert(at, letter());
            break;
        case 2:
            typed[at] = letter();
            break;
        default:
            if (at + 1 < typed.size())
                std::swap(typed[at], typed[at + 1]);
        }
        if (vocabulary->count(typed) > 0 || typed.size() < Vocabulary::shortestCorrected)
            continue;
        int nearest = 3;
        for (const QString& word : words)
            nearest = std::min(nearest, editDistance(u16(typed), u16(word), 2));
        const std::optional<Vocabulary::Match> found = vocabulary->closest(typed);
        ASSERT_TRUE(found) << typed.toStdString();
        EXPECT_EQ(found->distance, nearest) << typed.toStdString();
    }
}

// Sorted by word, the vocabulary must still find every beginning a scan of
// its words finds, at either end of the order and beyond ASCII.
TEST(VocabularyTest, BeginsAWordAgreesWithAScanOfEveryWord)
{
    std::mt19937 random(11);
    const QString letters = u"abcdeé"_s;
    const auto randomText = [&](int shortest, int longest) {
        QString text;
        for (int n = std::uniform_int_distribution<int>(shortest, longest)(random); n > 0; --n)
            text += letters.at(std::uniform_int_distribution<qsizetype>(0, letters.size() - 1)(random));
        return text;
    };
    QStringList words;
    for (int i = 0; i < 400; ++i)
        words.append(randomText(1, 8));
    const auto vocabulary = Vocabulary::fromTexts({words.join(u' ')});
    for (int i = 0; i < 2000; ++i) {
        const QString prefix = i % 3 == 0 ? randomText(1, 4).toUpper() : randomText(1, 4);
        const bool expected = std::any_of(words.begin(), words.end(), [&](const QString& word) {
            return word.startsWith(prefix, Qt::CaseInsensitive);
        });
        EXPECT_EQ(vocabulary->beginsAWord(prefix), expected) << prefix.toStdString();
    }
    EXPECT_FALSE(Vocabulary::fromTexts({})->beginsAWord(u"a"_s));
    // Counts and corrections survive the renumbering.
    EXPECT_EQ(Vocabulary::fromTexts({u"zebra apple zebra mango"_s})->count(u"zebra"_s), 2u);
    EXPECT_EQ(closestTo({u"zebra apple zebra mango"_s}, u"zebr"_s), u"zebra"_s);
}

// Answers from a fixed list, so that the choice between the library's word
// and the dictionary's can be set up exactly.
class FixedDictionary : public WordDictionary
{
public:
    explicit FixedDictionary(std::map<QString, QString> suggestions)
        : m_suggestions(std::move(suggestions))
    {}
    // A word suggested as itself is one the dictionary knows.
    bool accepts(const QString& word) override
    {
        const auto found = m_suggestions.find(word);
        return found == m_suggestions.end() || found->second == word;
    }
    std::optional<QString> suggestion(const QString& word) override
    {
        ++asked;
        const auto found = m_suggestions.find(word);
        return found == m_suggestions.end() || found->second.isEmpty() ? std::nullopt
                                                                       : std::optional<QString>(found->second);
    }
    int asked = 0;

private:
    std::map<QString, QString> m_suggestions;
};

TEST(LibrarySpellCheckerTest, PrefersTheLibraryWordUnlessTheDictionaryIsCloser)
{
    const struct
    {
        QString libraryText;
        QString typed;
        QString suggested; // by the dictionary; empty: nothing
        std::optional<QString> expected;
        bool dictionaryAsked;
    } cases[] = {
        {u"Oberhuber"_s, u"Oberhuper"_s, u"Overhauls"_s, u"Oberhuber"_s, false}, // one edit: the dictionary is spared
        {u"Rejkyavik"_s, u"Reykjavik"_s, u"Reykjavik"_s, std::nullopt, false},   // the dictionary knows it
        {u"kubernetes"_s, u"kubernetis"_s, u""_s, u"kubernetes"_s, false},
        {u"resolved"_s, u"recieve"_s, u"receive"_s, u"receive"_s, true},   // nothing near in the library
        {u"received"_s, u"recieve"_s, u"receive"_s, u"receive"_s, true},   // library two edits, dictionary one
        {u"recieved"_s, u"recieve"_s, u"receive"_s, u"recieved"_s, false}, // library one edit wins
        {u"webpack"_s, u"weebpak"_s, u"weebpxy"_s, u"webpack"_s, true},    // equal distance: the library's
        {u"nothing"_s, u"zxqv"_s, u""_s, std::nullopt, true},
    };
    for (const auto& c : cases) {
        auto dictionary = std::make_shared<FixedDictionary>(std::map<QString, QString>{{c.typed, c.suggested}});
        LibrarySpellChecker checker(dictionary);
        checker.setVocabulary(Vocabulary::fromTexts({c.libraryText}));
        EXPECT_EQ(checker.correction(c.typed, kRunning), c.expected) << c.typed.toStdString();
        EXPECT_EQ(dictionary->asked > 0, c.dictionaryAsked) << c.typed.toStdString();
    }
}

// Corrections are remembered per text, but only for the library's words they
// were worked out with: once the words change (a screenshot with the typed
// word arrived, another left), the text is corrected afresh, also when the
// words changed while its correction was being worked out.
TEST(LibrarySpellCheckerTest, ACorrectionIsNeverUsedAfterTheLibrarysWordsChanged)
{
    class SwappingDictionary : public FixedDictionary
    {
    public:
        using FixedDictionary::FixedDictionary;
        bool accepts(const QString& word) override
        {
            if (whileChecking)
                std::exchange(whileChecking, {})();
            return FixedDictionary::accepts(word);
        }
        std::function<void()> whileChecking;
    };
    auto dictionary = std::make_shared<SwappingDictionary>(
        std::map<QString, QString>{{u"kubernetis"_s, u""_s}, {u"recieve"_s, u"receive"_s}});
    LibrarySpellChecker checker(dictionary);

    checker.setVocabulary(Vocabulary::fromTexts({u"kubernetes"_s}));
    EXPECT_EQ(checker.correction(u"kubernetis"_s, kRunning), u"kubernetes"_s);
    checker.setVocabulary(Vocabulary::fromTexts({u"kubernetes kubernetis"_s}));
    EXPECT_EQ(checker.correction(u"kubernetis"_s, kRunning), std::nullopt) << "a library word now";

    checker.setVocabulary(Vocabulary::fromTexts({u"resolved"_s}));
    dictionary->whileChecking = [&] { checker.setVocabulary(Vocabulary::fromTexts({u"recieve"_s})); };
    EXPECT_EQ(checker.correction(u"recieve"_s, kRunning), u"receive"_s) << "worked out with the old words";
    EXPECT_EQ(checker.correction(u"recieve"_s, kRunning), std::nullopt) << "not remembered for the new ones";
}

TEST(LibrarySpellCheckerTest, CorrectsLibraryNamesAndStillCommonWordsWithHunspell)
{
    auto hunspell = std::make_shared<HunspellSpellChecker>();
    ASSERT_TRUE(hunspell->isAvailable()) << "hunspell-en-us is installed by scripts/setup";
    LibrarySpellChecker checker(hunspell);
    checker.setVocabulary(Vocabulary::fromTexts(
        {u"$ kubectl get pods"_s, u"picked them up from Mrs Oberhuber"_s, u"serde_json v1.0.114 compiled"_s}));
    const struct
    {
        QString typed;
        std::optional<QString> expected;
    } cases[] = {
        {u"kubctl pods"_s, u"kubectl pods"_s},
        {u"Oberhuper"_s, u"Oberhuber"_s},
        {u"KUBCTL"_s, u"KUBECTL"_s},
        {u"recieve the Invocie"_s, u"receive the Invoice"_s}, // common words: Hunspell, as before
        {u"serde_json error"_s, std::nullopt},                // the library's own words are right
        {u"  kubctl,  order #42!"_s, u"  kubectl,  order #42!"_s},
        {u" "_s, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checker.correction(c.typed, kRunning), c.expected) << c.typed.toStdString();
        // Asked again (every keystroke asks), the answer is the same.
        EXPECT_EQ(checker.correction(c.typed, kRunning), c.expected) << c.typed.toStdString();
    }
    const std::atomic<bool> cancelled{true};
    EXPECT_EQ(checker.correction(u"kubctl logs"_s, cancelled), std::nullopt);
    EXPECT_EQ(checker.correction(u"kubctl logs"_s, kRunning), u"kubectl logs"_s);

    // Let go once searching pauses, the dictionary is read again when next asked.
    checker.dropCaches();
    EXPECT_EQ(checker.correction(u"recieve the Invocie"_s, kRunning), u"receive the Invoice"_s);
    EXPECT_TRUE(hunspell->isAvailable());
}

// A correction is remembered for the keystrokes that follow, and worked out
// afresh once searching has paused and the checker let go of it.
TEST(LibrarySpellCheckerTest, ARememberedCorrectionGoesWithTheCaches)
{
    class DroppingDictionary : public FixedDictionary
    {
    public:
        using FixedDictionary::FixedDictionary;
        void dropCaches() override { ++drops; }
        int drops = 0;
    };
    auto dictionary = std::make_shared<DroppingDictionary>(std::map<QString, QString>{{u"recieve"_s, u"receive"_s}});
    LibrarySpellChecker checker(dictionary);
    EXPECT_EQ(checker.correction(u"recieve"_s, kRunning), u"receive"_s);
    EXPECT_EQ(checker.correction(u"recieve"_s, kRunning), u"receive"_s);
    EXPECT_EQ(dictionary->asked, 1);

    checker.dropCaches();
    EXPECT_EQ(dictionary->drops, 1);
    EXPECT_EQ(checker.correction(u"recieve"_s, kRunning), u"receive"_s);
    EXPECT_EQ(dictionary->asked, 2);
}

TEST(LibrarySpellCheckerTest, WordsJoinedByPunctuationComeApartWithoutTheDomain)
{
    LibrarySpellChecker checker(nullptr, LinkDetector::shared());
    checker.setVocabulary(Vocabulary::fromTexts(
        {u"def tokenize invoice(text) serde_json \"github. com/gorilla/mux\" <j.vandermeer@vml-freight.nI>"_s,
         u"www.homefinder.co.uk/property/148823 it is locked (m.osei)"_s}));
    const struct
    {
        QString typed;
        std::optional<QString> expected;
    } cases[] = {
        {u"tokenize_inv"_s, u"tokenize inv"_s}, // the last word begins a library word
        {u"github.com/gorilla"_s, u"github gorilla"_s},
        {u"vml-freight.nl"_s, u"vml freight"_s},
        {u"j.vandermeer@vml-freight.nl"_s, u"j vandermeer vml freight"_s},
        {u"www.homefinder.co.uk"_s, u"homefinder"_s}, // a suffix of two labels
        {u"homefinder.co.uk/property"_s, u"homefinder property"_s},
        {u"m.osei"_s, u"m osei"_s},      // not a domain: every word kept
        {u"serde_json"_s, std::nullopt}, // held whole by the library
        {u"serde_json gorilla/mux"_s, u"serde_json gorilla mux"_s},
        {u"1.94 v1.0.114 24:12"_s, std::nullopt}, // one word with letters at most
        {u"co.uk"_s, std::nullopt},               // nothing would be left
        {u"gihtub.com"_s, u"github"_s},           // the words are corrected too
    };
    for (const auto& c : cases)
        EXPECT_EQ(checker.correction(c.typed, kRunning), c.expected) << c.typed.toStdString();

    // Without the public suffix list every word is kept.
    LibrarySpellChecker noDomains(nullptr);
    noDomains.setVocabulary(checker.vocabulary());
    EXPECT_EQ(noDomains.correction(u"github.com/gorilla"_s, kRunning), u"github com gorilla"_s);
}

TEST(LibrarySpellCheckerTest, TheLastWordOfAJoinIsLeftAsTypedWhileItBeginsALibraryWord)
{
    auto dictionary = std::make_shared<FixedDictionary>(
        std::map<QString, QString>{{u"inv"_s, u"inc"_s}, {u"invoic"_s, u"invoice"_s}, {u"tokn"_s, u"token"_s}});
    LibrarySpellChecker checker(dictionary);
    checker.setVocabulary(Vocabulary::fromTexts({u"tokenize invoice"_s}));
    EXPECT_EQ(checker.correction(u"tokenize_inv"_s, kRunning), u"tokenize inv"_s);
    EXPECT_EQ(checker.correction(u"Tokenize_INV"_s, kRunning), u"Tokenize INV"_s);
    // Elsewhere in the query, finished with a blank, or not joined (the query
    // itself then finds what it begins), the word is corrected.
    EXPECT_EQ(checker.correction(u"inv_tokenize"_s, kRunning), u"inc tokenize"_s);
    EXPECT_EQ(checker.correction(u"tokenize_inv "_s, kRunning), u"tokenize inc "_s);
    EXPECT_EQ(checker.correction(u"invoic"_s, kRunning), u"invoice"_s);
    EXPECT_EQ(checker.correction(u"tokenize_tokn"_s, kRunning), u"tokenize token"_s); // begins no library word
}

// Recognition breaks joins ("github. com") and misreads domains ("nI"):
// the screen that holds the words is still found first, and a screen that
// shares only the top-level domain is no hit.
TEST(LibrarySpellCheckerTest, JoinedQueriesFindTheScreensRecognitionBrokeThemOn)
{
    const auto shot = [](const QString& text) {
        Screenshot screenshot;
        screenshot.id = QUuid::createUuid();
        screenshot.filename = u"Screenshot.png"_s;
        screenshot.dateCreated = QDateTime::currentDateTime().addDays(-60);
        screenshot.ocrText = text;
        return screenshot;
    };
    const QList<Screenshot> library{
        shot(u"Sign in at example.com with your account"_s), shot(u"import \"github. com/gorilla/mux\""_s),
        shot(u"def tokenize invoice(text: str)"_s),          shot(u"From: Joost <j.vandermeer@vml-freight.nI>"_s),
        shot(u"freight rates for the next quarter"_s),
    };
    auto checker = std::make_shared<LibrarySpellChecker>(nullptr, LinkDetector::shared());
    checker->setVocabulary(Vocabulary::build(library, kRunning));
    QThreadPool pool;
    const GallerySearch search(checker, {}, pool);
    const auto index = SearchIndex::build(library, nullptr, pool, kRunning);
    const auto hits = [&](const QString& text) {
        const auto results =
            GallerySearch::rank(*search.prepare(text, kRunning), library, *index, nullptr, pool, kRunning);
        QList<qsizetype> positions;
        for (const auto& result : *results)
            positions.append(library.indexOf(result.screenshot));
        return positions;
    };
    EXPECT_EQ(hits(u"github.com/gorilla"_s), QList<qsizetype>{1});
    EXPECT_EQ(hits(u"tokenize_inv"_s), QList<qsizetype>{2});
    EXPECT_EQ(hits(u"vml-freight.nl"_s), (QList<qsizetype>{3, 4}));
}

Screenshot screenshotWith(const QString& text)
{
    Screenshot screenshot;
    screenshot.id = QUuid::createUuid();
    screenshot.filename = u"Screenshot.png"_s;
    screenshot.ocrText = text;
    return screenshot;
}

class LibraryVocabularyTest : public ::testing::Test
{
protected:
    // Lets the count that is due run and waits for it to land.
    void settle()
    {
        bool updated = false;
        const QMetaObject::Connection connection =
            QObject::connect(&m_vocabulary, &LibraryVocabulary::updated, [&updated] { updated = true; });
        m_scheduler.advance(LibraryVocabulary::countDelay);
        EXPECT_TRUE(waitUntil([&] { return updated; }));
        QObject::disconnect(connection);
    }

    Workers m_workers;
    FakeLibrary m_library;
    ManualScheduler m_scheduler;
    LibrarySpellChecker m_checker{nullptr};
    LibraryVocabulary m_vocabulary{m_library, m_checker, m_workers.gallery(), m_scheduler};
};

TEST_F(LibraryVocabularyTest, WordsJoinAndLeaveWithTheirScreenshots)
{
    const Screenshot terminal = screenshotWith(u"$ kubectl logs ledger-worker"_s);
    const Screenshot chat = screenshotWith(u"the keys from Mrs Oberhuber"_s);
    m_library.setScreenshots({terminal});
    EXPECT_EQ(m_checker.correction(u"kubctl"_s, kRunning), std::nullopt); // not counted before the delay
    settle();
    EXPECT_EQ(m_checker.correction(u"kubctl"_s, kRunning), u"kubectl"_s);

    m_library.setScreenshots({chat});
    settle();
    EXPECT_EQ(m_checker.vocabulary()->count(u"kubectl"_s), 0u);
    EXPECT_EQ(m_checker.correction(u"kubctl"_s, kRunning), std::nullopt);
    EXPECT_EQ(m_checker.correction(u"Oberhuper"_s, kRunning), u"Oberhuber"_s);
}

TEST_F(LibraryVocabularyTest, RelatedWordsFollowTheCounts)
{
    const std::shared_ptr<const SentenceEncoder> encoder = SentenceEncoder::load(SentenceEncoder::defaultPath());
    ASSERT_TRUE(encoder);
    const auto related = std::make_shared<RelatedWords>([encoder] { return encoder; });
    m_vocabulary.setRelatedWords(related);
    const auto offered = [&related] {
        QStringList words;
        for (const RelatedWords::Word& word : related->closestTo(u"plane"_s))
            words.append(word.text);
        return words;
    };
    m_library.setScreenshots({screenshotWith(u"Flight LH 1172, boarding at 06:50"_s)});
    settle();
    EXPECT_TRUE(offered().contains(u"flight"_s));
    m_library.setScreenshots({screenshotWith(u"banana bread"_s)});
    settle();
    EXPECT_FALSE(offered().contains(u"flight"_s));
}

TEST_F(LibraryVocabularyTest, ChangesDuringACountAreCountedAfterIt)
{
    m_library.setScreenshots({screenshotWith(u"first words"_s)});
    m_scheduler.advance(LibraryVocabulary::countDelay); // the count starts
    m_library.setScreenshots({screenshotWith(u"second words"_s)});
    m_library.setScreenshots({screenshotWith(u"third words"_s)});
    ASSERT_TRUE(waitUntil([&] { return m_checker.vocabulary()->count(u"first"_s) > 0 || m_scheduler.pending() > 0; }));
    settle();
    EXPECT_EQ(m_checker.vocabulary()->count(u"third"_s), 1u);
    EXPECT_EQ(m_checker.vocabulary()->count(u"second"_s), 0u);
}
} // namespace
