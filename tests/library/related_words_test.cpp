#include "core/Clock.h"
#include "ingest/SentenceEncoder.h"
#include "library/GallerySearch.h"
#include "library/RelatedWords.h"
#include "library/Vocabulary.h"
#include "platform/SpellChecker.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const std::atomic<bool> kRunning{false};

QThreadPool& searchThreads()
{
    static QThreadPool pool;
    return pool;
}

// The application's word vectors, loaded once for every test.
std::shared_ptr<const SentenceEncoder> encoder()
{
    static const std::shared_ptr<const SentenceEncoder> loaded = SentenceEncoder::load(SentenceEncoder::defaultPath());
    return loaded;
}

QStringList textsOf(const QList<RelatedWords::Word>& words)
{
    QStringList texts;
    for (const RelatedWords::Word& word : words)
        texts.append(word.text);
    return texts;
}

class RelatedWordsTest : public ::testing::Test
{
protected:
    RelatedWordsTest()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Clock::setSource([] { return QDateTime(QDate(2024, 3, 15), QTime(12, 0)); });
    }

    ~RelatedWordsTest() override
    {
        Clock::setSource({});
        QLocale::setDefault(QLocale::system());
    }

    void SetUp() override { ASSERT_TRUE(encoder()) << "the word vectors are part of the build"; }

    static Screenshot shot(const QString& name, const QString& text)
    {
        Screenshot screenshot;
        screenshot.id = QUuid::createUuid();
        screenshot.filename = name;
        screenshot.filePath = u"/home/user/Desktop/"_s + name;
        screenshot.dateCreated = QDateTime(QDate(2024, 1, 1), QTime(9, 0)); // past any recency bonus
        screenshot.ocrText = text;
        return screenshot;
    }

    // The search as the application makes it, over the words of `library`.
    static QStringList found(const QString& query, const QList<Screenshot>& library)
    {
        auto related = std::make_shared<RelatedWords>([] { return encoder(); });
        related->setVocabulary(Vocabulary::build(library, kRunning), kRunning);
        const GallerySearch search(
            std::make_shared<NullSpellChecker>(), [](const QString&) { return std::nullopt; }, searchThreads(),
            related);
        QStringList names;
        for (const Screenshot& screenshot : search.search(query, library, kRunning))
            names.append(screenshot.filename);
        return names;
    }
};

TEST_F(RelatedWordsTest, OffersTheLibraryWordsClosestInMeaning)
{
    RelatedWords related([] { return encoder(); });
    EXPECT_TRUE(related.closestTo(u"plane"_s).isEmpty()) << "nothing before the first vocabulary";

    related.setVocabulary(Vocabulary::fromTexts({u"Flight LH 1172, boarding at gate B44"_s, u"banana bread recipe"_s,
                                                 u"the plane and the aircraft"_s, u"Lisbon Portugal"_s}),
                          kRunning);
    const QList<RelatedWords::Word> words = related.closestTo(u"Plane"_s);
    const QStringList texts = textsOf(words);
    EXPECT_TRUE(texts.contains(u"flight"_s)) << texts.join(u' ').toStdString();
    EXPECT_TRUE(texts.contains(u"aircraft"_s)) << texts.join(u' ').toStdString();
    EXPECT_FALSE(texts.contains(u"plane"_s)) << "never the word itself";
    EXPECT_FALSE(texts.contains(u"banana"_s));
    EXPECT_FALSE(texts.contains(u"the"_s)) << "the most common words carry no meaning of their own";
    for (qsizetype i = 1; i < words.size(); ++i)
        EXPECT_GE(words[i - 1].relevance, words[i].relevance);

    EXPECT_TRUE(related.closestTo(u"the"_s).isEmpty());
    EXPECT_TRUE(related.closestTo(u"qzxwvkj"_s).isEmpty()) << "a word without a vector";
    EXPECT_TRUE(related.closestTo(QString()).isEmpty());
}

TEST_F(RelatedWordsTest, WithoutAModelOrWhenCancelledTheIndexStaysAsItWas)
{
    RelatedWords without([] { return std::shared_ptr<const SentenceEncoder>(); });
    without.setVocabulary(Vocabulary::fromTexts({u"flight"_s}), kRunning);
    EXPECT_EQ(without.size(), 0);
    EXPECT_TRUE(without.closestTo(u"plane"_s).isEmpty());

    RelatedWords related([] { return encoder(); });
    related.setVocabulary(Vocabulary::fromTexts({u"flight boarding"_s}), kRunning);
    const std::atomic<bool> cancelled{true};
    related.setVocabulary(Vocabulary::fromTexts({u"banana"_s}), cancelled);
    EXPECT_TRUE(textsOf(related.closestTo(u"plane"_s)).contains(u"flight"_s));
}

TEST_F(RelatedWordsTest, AParaphraseFindsItsScreenshot)
{
    const QList<Screenshot> library{
        shot(u"invoice.png"_s, u"Invoice 2025-0147 total due 4,200.00"_s),
        shot(u"booking.png"_s, u"Frankfurt to Lisbon. Flight LH 1172, passenger Anna Keller, boarding 06:50"_s),
        shot(u"notes.png"_s, u"Minutes of the board meeting, budget approved"_s),
        shot(u"recipe.png"_s, u"Banana bread: flour, sugar, two eggs"_s),
    };
    const QStringList names = found(u"plane ticket to portugal"_s, library);
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names.first(), u"booking.png"_s);
    EXPECT_FALSE(names.contains(u"recipe.png"_s));
}

// Each query word counts only its best related word, below the word itself:
// a screenshot with "plane" ranks above one with "flight", "aircraft" and
// "jet" together.
TEST_F(RelatedWordsTest, AnExactMatchRanksAboveAMeaningOnlyMatch)
{
    const QList<Screenshot> library{
        shot(u"related.png"_s, u"flight aircraft jet"_s),
        shot(u"exact.png"_s, u"the plane"_s),
        shot(u"unrelated.png"_s, u"banana bread"_s),
    };
    EXPECT_EQ(found(u"plane"_s, library), (QStringList{u"exact.png"_s, u"related.png"_s}));
    // Without the whole query's own points, the word's term alone still wins.
    EXPECT_EQ(found(u"plane seat"_s, library), (QStringList{u"exact.png"_s, u"related.png"_s}));
}

TEST_F(RelatedWordsTest, QueriesTheLibraryHasNoWordsForFindNothingOdd)
{
    const QList<Screenshot> library{
        shot(u"a.png"_s, u"Flight LH 1172 boarding"_s),
        shot(u"b.png"_s, u"Invoice total due"_s),
    };
    EXPECT_TRUE(found(u"zqxj vvkw"_s, library).isEmpty());
    EXPECT_TRUE(found(u"the of and"_s, library).isEmpty());
    EXPECT_TRUE(found(u"   "_s, library).isEmpty());
    // Addresses, numbers and codes stand for nothing but themselves.
    auto related = std::make_shared<RelatedWords>([] { return encoder(); });
    related->setVocabulary(Vocabulary::build(library, kRunning), kRunning);
    const GallerySearch search(
        std::make_shared<NullSpellChecker>(), [](const QString&) { return std::nullopt; }, searchThreads(), related);
    EXPECT_TRUE(search.relatedTerms(u"plane.com E0382 airplane2"_s).isEmpty());
    EXPECT_FALSE(search.relatedTerms(u"plane"_s).isEmpty());
}
} // namespace
