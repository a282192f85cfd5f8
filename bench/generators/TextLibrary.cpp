#include "generators/TextLibrary.h"

#include "core/Clock.h"
#include "generators/ScreenshotCorpus.h"
#include "generators/TextGenerator.h"

#include <QSet>

#include <cmath>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace TextLibrary {

namespace {
constexpr int kRareWords = 3000;
constexpr int kMostHoldersOfARareWord = 50;

// Made-up names and terms of their own (capitalised, two to four
// syllables, none a word of the corpus), each on one to fifty screenshots,
// fewer far more often than many: what a library holds besides everyday
// words. The words for each screenshot, by position.
std::vector<QStringList> rareWords(int count, const ScreenshotCorpus& corpus)
{
    QSet<QString> taken;
    for (const QString& text : corpus.texts) {
        for (const QString& word : text.toLower().split(u' ', Qt::SkipEmptyParts))
            taken.insert(word);
    }
    static const char16_t onsets[] = u"bdfgklmnprstvz";
    static const char16_t vowels[] = u"aeiou";
    std::mt19937 random(23);
    const auto pick = [&random](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    std::uniform_real_distribution<double> logHolders(0, std::log(kMostHoldersOfARareWord + 1.0));
    std::vector<QStringList> words(size_t(std::max(count, 0)));
    for (int made = 0; made < kRareWords && count > 0;) {
        QString word;
        for (size_t syllables = 2 + pick(3); syllables > 0; --syllables) {
            word += QChar(onsets[pick(14)]);
            word += QChar(vowels[pick(5)]);
            if (pick(3) == 0)
                word += QChar(onsets[pick(14)]);
        }
        if (word.size() < 5 || taken.contains(word))
            continue;
        taken.insert(word);
        ++made;
        word[0] = word[0].toUpper();
        const int holders = std::min(kMostHoldersOfARareWord, int(std::exp(logHolders(random))));
        for (int i = 0; i < std::max(holders, 1); ++i)
            words[pick(size_t(count))].append(word);
    }
    return words;
}
} // namespace

QList<Screenshot> generate(int count)
{
    const ScreenshotCorpus corpus = ScreenshotCorpus::generate(5, 4000);
    TextGenerator filler(9);
    std::mt19937 random(17);
    const QStringList labels{u"person"_s, u"laptop"_s, u"tv"_s,  u"cell phone"_s, u"keyboard"_s,
                             u"book"_s,   u"cup"_s,    u"car"_s, u"dog"_s,        u"clock"_s};
    std::normal_distribution<double> gaussian;
    const qint64 nowSecs = Clock::now().toSecsSinceEpoch();
    const std::vector<QStringList> rare = rareWords(count, corpus);
    const auto pick = [&random](qsizetype n) { return std::uniform_int_distribution<qsizetype>(0, n - 1)(random); };

    QList<Screenshot> library;
    library.reserve(count);
    for (int i = 0; i < count; ++i) {
        Screenshot s;
        s.id = QUuid::createUuid();
        s.dateCreated = QDateTime::fromSecsSinceEpoch(nowSecs - qint64(i) * 600 - pick(600));
        s.filename = s.dateCreated.toString(u"'Screenshot' yyyy-MM-dd 'at' HH.mm.ss'.png'"_s);
        s.filePath = u"/home/user/Desktop/"_s + s.filename;
        const qsizetype size = 1000 + pick(1000);
        QString text;
        text.reserve(size + 400);
        while (text.size() < size) {
            text += corpus.texts.at(pick(corpus.texts.size()));
            text += u"\nRef %1-%2 "_s.arg(pick(100000)).arg(pick(1000));
            if (pick(3) == 0)
                text += filler.word() + u' ';
        }
        for (const QString& word : rare[size_t(i)])
            text += word + u' ';
        s.ocrText = text;
        for (qsizetype label = pick(4); label > 0; --label)
            s.tags.append(labels.at(pick(labels.size())));
        if (i % 20 == 0)
            s.customTags = {u"work"_s, labels.at(pick(labels.size()))};
        if (i % 50 == 0)
            s.userNotes = u"follow up next week"_s;
        QList<double> embedding(100);
        for (double& value : embedding)
            value = gaussian(random);
        s.embedding = embedding;
        library.append(std::move(s));
    }
    return library;
}

} // namespace TextLibrary
