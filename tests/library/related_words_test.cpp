#include "core/Clock.h"
#include "ingest/SentenceEncoder.h"
#include "library/GallerySearch.h"
#include "library/LibrarySpellChecker.h"
#include "library/RelatedWords.h"
#include "library/Vocabulary.h"
#include "platform/SpellChecker.h"

#include <QLocale>
#include <QSet>

#include <map>

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

    // A file as the analysis leaves it, taken yesterday: its text, its
    // labels, and the embedding of both (empty when both are blank, as for
    // a recording or a picture that does not decode).
    static Screenshot analysed(const QString& name, const QString& text, const QStringList& labels = {},
                               const QStringList& customTags = {})
    {
        Screenshot screenshot = shot(name, text);
        screenshot.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(12, 0));
        screenshot.tags = labels;
        screenshot.customTags = customTags;
        const QString joined = (text + u' ' + labels.join(u' ')).trimmed();
        screenshot.embedding = joined.isEmpty() ? QList<double>() : encoder()->encode(joined);
        return screenshot;
    }

    static QList<Screenshot> recordings(int count)
    {
        QList<Screenshot> files;
        for (int i = 0; i < count; ++i)
            files.append(analysed(u"Screen Recording 2024-03-0%1 at 10.1%1.22.mov"_s.arg(i + 1), QString()));
        return files;
    }

    // The search as the application makes it, over the words of `library`,
    // with the query's embedding; spelling corrected to the library's words
    // when `corrected`.
    static QStringList found(const QString& query, const QList<Screenshot>& library, bool corrected = false)
    {
        const std::shared_ptr<const Vocabulary> vocabulary = Vocabulary::build(library, kRunning);
        auto related = std::make_shared<RelatedWords>([] { return encoder(); });
        related->setVocabulary(vocabulary, kRunning);
        std::shared_ptr<SpellChecker> spelling = std::make_shared<NullSpellChecker>();
        if (corrected) {
            auto libraryWords = std::make_shared<LibrarySpellChecker>(nullptr);
            libraryWords->setVocabulary(vocabulary);
            spelling = std::move(libraryWords);
        }
        const GallerySearch search(
            std::move(spelling), [](const QString& text) { return encoder()->encode(text); }, searchThreads(), related);
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

// Words that share a topic with the query word rather than its meaning are
// not offered ("licorice" and "cookies" for "flowers"), and a word weighs
// by its closeness alone: one on a single screenshot no more than a closer
// one on many.
TEST_F(RelatedWordsTest, OnlyWordsThatStandForTheQueryWordAreOffered)
{
    RelatedWords related([] { return encoder(); });
    related.setVocabulary(Vocabulary::fromTexts({u"garden orchid licorice cookies bananas"_s}), kRunning);
    const QStringList flowers = textsOf(related.closestTo(u"flowers"_s));
    EXPECT_TRUE(flowers.contains(u"garden"_s)) << flowers.join(u' ').toStdString();
    for (const QString& loose : {u"licorice"_s, u"cookies"_s, u"bananas"_s})
        EXPECT_FALSE(flowers.contains(loose)) << flowers.join(u' ').toStdString();

    QList<Screenshot> library;
    for (int i = 0; i < 10; ++i)
        library.append(shot(u"%1.png"_s.arg(i), u"Flight LH %1"_s.arg(1170 + i)));
    library.append(shot(u"list.png"_s, u"passenger list"_s));
    auto words = std::make_shared<RelatedWords>([] { return encoder(); });
    words->setVocabulary(Vocabulary::build(library, kRunning), kRunning);
    const GallerySearch search(
        std::make_shared<NullSpellChecker>(), [](const QString&) { return std::nullopt; }, searchThreads(), words);
    std::map<QString, double> weights;
    for (const GallerySearch::RelatedTerm& term : search.relatedTerms(u"plane"_s))
        weights[term.word] = term.weight;
    ASSERT_TRUE(weights.contains(u"flight"_s) && weights.contains(u"passenger"_s));
    EXPECT_GE(weights[u"flight"_s], weights[u"passenger"_s]);
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

// Descriptions of a problem find the screens that show it, not the files
// without text whose names or labels sound like it: a recording's "Screen
// Recording" is no "compilation", and a picture that did not decode shows
// nothing.
TEST_F(RelatedWordsTest, FilesWithoutTextNeverComeFirstForADescription)
{
    QList<Screenshot> library = recordings(2);
    library += {
        analysed(u"build-log-recording.png"_s, QString()), // cut short: nothing decoded
        analysed(u"Screenshot 1.png"_s,
                 u"$ cargo build\n   Compiling serde v1.0.114\nerror: could not compile `harbor`\nBuild broken"_s),
        analysed(u"Screenshot 2.png"_s, u"CI: the build on main is broken\nxcodebuild: BUILD FAILED"_s),
        analysed(u"Screenshot 3.png"_s, u"make: *** [all] Error 2\nbroken build, linker failed"_s),
        analysed(u"Screenshot 4.png"_s, u"Lunch menu: soup of the day, pasta, salad"_s),
    };
    const QStringList names = found(u"compilation broke"_s, library);
    ASSERT_GE(names.size(), 3);
    for (const QString& name : names.first(3))
        EXPECT_TRUE(name.startsWith(u"Screenshot"_s)) << names.join(u", "_s).toStdString();
    for (const QString& name : names)
        EXPECT_NE(name, u"Screenshot 4.png"_s);
}

TEST_F(RelatedWordsTest, RecordingsAndWallpapersGetNoPointsFromMeaning)
{
    QList<Screenshot> library = recordings(6);
    library += {
        // Labelled by its pixels: its embedding is that of its labels alone.
        analysed(u"stage-lights-wallpaper.jpg"_s, QString(), {u"concert"_s, u"stage"_s, u"light"_s}),
        analysed(u"licorice-allsorts.jpg"_s, QString(), {u"candy"_s, u"sweets"_s}, {u"dessert"_s}),
        analysed(u"tickets.png"_s, u"Your tickets: Mitski live at the Roundhouse, London. 2 x standing, doors 19:00"_s),
        analysed(u"recipe.png"_s, u"Banana bread: 250 g flour, 100 g sugar, two eggs, butter. Oven at 180 degrees"_s),
        analysed(u"invoice.png"_s, u"Invoice 2024-0147, total due 4,200.00"_s),
    };
    const QStringList music = found(u"music gig"_s, library);
    EXPECT_EQ(music.value(0), u"tickets.png"_s) << music.join(u", "_s).toStdString();
    const QStringList baking = found(u"baking ingredients"_s, library);
    EXPECT_EQ(baking.value(0), u"recipe.png"_s) << baking.join(u", "_s).toStdString();
    // Found by nothing but meaning, which they have none of.
    for (const QStringList& names : {music, baking}) {
        EXPECT_FALSE(names.contains(u"stage-lights-wallpaper.jpg"_s)) << names.join(u", "_s).toStdString();
        EXPECT_FALSE(names.contains(u"licorice-allsorts.jpg"_s)) << names.join(u", "_s).toStdString();
        for (const QString& name : names)
            EXPECT_FALSE(name.startsWith(u"Screen Recording"_s)) << names.join(u", "_s).toStdString();
    }
}

// A word like one of the query's never counts for more than that word
// itself, wherever each is: in a custom tag against recognised text, in a
// file name against recognised text.
TEST_F(RelatedWordsTest, TheQuerysOwnWordOutranksAWordLikeIt)
{
    const QList<Screenshot> library{
        analysed(u"tagged.png"_s, u"Doors open at seven"_s, {}, {u"concert"_s}),
        analysed(u"concert-poster.png"_s, u"Doors open at seven"_s),
        analysed(u"chat.png"_s, u"are you coming to the gig tonight?"_s),
    };
    EXPECT_EQ(found(u"gig"_s, library).value(0), u"chat.png"_s);
    const QStringList gigTickets = found(u"gig tickets"_s, library);
    EXPECT_EQ(gigTickets.value(0), u"chat.png"_s) << gigTickets.join(u", "_s).toStdString();
    EXPECT_FALSE(gigTickets.contains(u"concert-poster.png"_s)) << "related words never match file names";
}

// A word that a few screenshots hold finds them first, and only a few
// others that merely mean something like it, however many do.
TEST_F(RelatedWordsTest, ANarrowQueryReturnsItsHoldersAndFewOthers)
{
    QList<Screenshot> library;
    for (int i = 0; i < 3; ++i)
        library.append(analysed(u"holder %1.png"_s.arg(i), u"Warehouse B, aisle %1: pallets received"_s.arg(i + 3)));
    const QStringList alike{u"inventory count of the depot"_s, u"storage units and pallets in stock"_s,
                            u"shipment arrived at the depot"_s, u"inventory of stored goods"_s};
    for (int i = 0; i < 24; ++i)
        library.append(analysed(u"alike %1.png"_s.arg(i), alike[i % alike.size()] + u" #%1"_s.arg(i)));
    const QStringList names = found(u"warehouse"_s, library);
    ASSERT_GE(names.size(), 3);
    for (const QString& name : names.first(3))
        EXPECT_TRUE(name.startsWith(u"holder"_s)) << names.join(u", "_s).toStdString();
    EXPECT_LE(names.size(), 3 + GallerySearch::meaningOnlyBesideWords) << names.join(u", "_s).toStdString();

    // A custom tag that one file carries.
    library.first().customTags = {u"supplies"_s};
    const QStringList tagged = found(u"supplies"_s, library);
    EXPECT_EQ(tagged.value(0), u"holder 0.png"_s);
    EXPECT_LE(tagged.size(), 1 + GallerySearch::meaningOnlyBesideWords) << tagged.join(u", "_s).toStdString();
}

// Where the user misspelt, the spelling correction is the query's own word:
// the screenshot holding it with the query's other words comes first, before
// one holding only another of its words, however many points that earns,
// and before the recent ones found through words like the query's.
TEST_F(RelatedWordsTest, AMisspeltWordFindsWhatItsCorrectionHoldsFirst)
{
    QList<Screenshot> library{
        analysed(u"Screenshot 1.png"_s, u"configuration of the bundler: settings and setup"_s),
        analysed(u"Screenshot 2.png"_s, u"project settings, build configuration, setup wizard"_s),
        analysed(u"Screenshot 3.png"_s, u"edit the configuration file and reload the settings"_s),
        // "config" alone, in a tag too: more points than the chat earns.
        analysed(u"config-backup.png"_s, u"config saved: configuration settings backed up"_s, {}, {u"config"_s}),
    };
    Screenshot chat = shot(u"chat.png"_s, u"Ines: looks like the webpack config lost the alias for the ui folder"_s);
    chat.embedding = encoder()->encode(*chat.ocrText);
    library.append(chat); // older than the others: no recency bonus

    for (const QString& query : {u"webpak config"_s, u"Webpak"_s}) {
        const QStringList names = found(query, library, true);
        EXPECT_EQ(names.value(0), u"chat.png"_s) << names.join(u", "_s).toStdString();
    }
}
} // namespace
