#include "generators/TextLibrary.h"

#include "core/Clock.h"
#include "generators/ScreenshotCorpus.h"
#include "generators/TextGenerator.h"

#include <random>

using namespace Qt::StringLiterals;

namespace TextLibrary {

QList<Screenshot> generate(int count)
{
    const ScreenshotCorpus corpus = ScreenshotCorpus::generate(5, 4000);
    TextGenerator filler(9);
    std::mt19937 random(17);
    const QStringList labels{u"person"_s, u"laptop"_s, u"tv"_s,  u"cell phone"_s, u"keyboard"_s,
                             u"book"_s,   u"cup"_s,    u"car"_s, u"dog"_s,        u"clock"_s};
    std::normal_distribution<double> gaussian;
    const qint64 nowSecs = Clock::now().toSecsSinceEpoch();
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
