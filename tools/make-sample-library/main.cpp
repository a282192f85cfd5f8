// make-sample-library --out DIR [--count N] [--seed S] [--small]
// make-sample-library --out DIR --screen-types [--seed S]
// make-sample-library --out DIR --large-photos [--seed S]
// Writes a realistic screenshot folder and, beside the files, a hidden
// ground-truth file of the text drawn in each image. With --screen-types:
// the screens of the findability benchmark instead (every screen kind, the
// sought screens among everyday ones), with each screen's kind and the
// queries that look for it in the ground truth. With --large-photos: three
// photographs to add to a folder (a noisy 12 MP texture, a noisy 48 MP one
// and a camera-like 12 MP JPEG), the files that analysis must keep bounded.

#include "core/Console.h"
#include "generators/FindabilitySet.h"
#include "generators/MediaGenerator.h"
#include "generators/SampleLibrary.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {
bool writeGroundTruth(const QString& folder, const QByteArray& json)
{
    QFile truth(folder + u'/' + QLatin1String(SampleLibrary::groundTruthName));
    if (truth.open(QIODevice::WriteOnly) && truth.write(json) == json.size())
        return true;
    Console::printLine(u"❌ Could not write "_s + truth.fileName());
    return false;
}

// The findability screens as PNG files, in the set's order.
int writeScreenTypes(const QString& folder, quint32 seed)
{
    QDir().mkpath(folder);
    const FindabilitySet set = FindabilitySet::make(seed);
    QJsonArray files;
    for (qsizetype i = 0; i < set.screens.size(); ++i) {
        const QSize size = i % 2 ? QSize(1440, 900) : QSize(1920, 1080);
        const ScreenTypes::Drawing drawing = ScreenTypes::draw(set.screens[i], size, quint32(i));
        const QString name = u"Screen %1 %2.png"_s.arg(i, 3, 10, QChar(u'0')).arg(set.screens[i].kind);
        if (!drawing.image.save(folder + u'/' + name)) {
            Console::printLine(u"❌ Could not write "_s + name);
            return 1;
        }
        QJsonArray queries;
        for (const FindabilitySet::Query& query : set.queries) {
            if (query.target == i)
                queries.append(QJsonObject{{u"text"_s, query.text}, {u"kind"_s, FindabilitySet::kindName(query.kind)}});
        }
        files.append(QJsonObject{{u"path"_s, name},
                                 {u"kind"_s, set.screens[i].kind},
                                 {u"lines"_s, QJsonArray::fromStringList(drawing.lines)},
                                 {u"queries"_s, queries}});
    }
    if (!writeGroundTruth(folder, QJsonDocument(QJsonObject{{u"files"_s, files}}).toJson()))
        return 1;
    Console::printLine(u"✅ Wrote %1 screens into %2"_s.arg(set.screens.size()).arg(folder));
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Writes a sample screenshot folder."_s);
    parser.addHelpOption();
    const QCommandLineOption out(u"out"_s, u"Folder to write into."_s, u"dir"_s);
    const QCommandLineOption count(u"count"_s, u"Number of files in all, duplicates included (default 40)."_s, u"n"_s,
                                   u"40"_s);
    const QCommandLineOption seed(u"seed"_s, u"Seed; the same seed gives the same files."_s, u"s"_s, u"1"_s);
    const QCommandLineOption small(u"small"_s, u"Tiny images, for benchmarks that need many files."_s);
    const QCommandLineOption subfolders(u"subfolders"_s, u"Number of sub-folders used (0-6)."_s, u"n"_s, u"4"_s);
    const QCommandLineOption screenTypes(u"screen-types"_s, u"The findability screens of every kind instead."_s);
    const QCommandLineOption largePhotos(u"large-photos"_s, u"Three large photographs instead."_s);
    parser.addOptions({out, count, seed, small, subfolders, screenTypes, largePhotos});
    parser.process(app);
    if (!parser.isSet(out)) {
        Console::printLine(u"❌ --out is required"_s);
        return 2;
    }

    if (parser.isSet(screenTypes))
        return writeScreenTypes(parser.value(out), parser.value(seed).toUInt());

    if (parser.isSet(largePhotos)) {
        QDir().mkpath(parser.value(out));
        const QStringList written = MediaGenerator::writeLargePhotos(parser.value(out), parser.value(seed).toUInt());
        Console::printLine(u"✅ Wrote %1 photographs into %2"_s.arg(written.size()).arg(parser.value(out)));
        return written.size() == 3 ? 0 : 1;
    }

    SampleLibrary::Options options;
    options.folder = parser.value(out);
    options.count = parser.value(count).toInt();
    options.seed = parser.value(seed).toUInt();
    options.small = parser.isSet(small);
    options.subfolders = parser.value(subfolders).toInt();
    const SampleLibrary::Result result = SampleLibrary::write(options);

    if (!writeGroundTruth(options.folder, SampleLibrary::groundTruthJson(result)))
        return 1;
    for (const QString& error : result.errors)
        Console::printLine(u"❌ "_s + error);
    Console::printLine(u"✅ Wrote %1 files into %2"_s.arg(result.entries.size()).arg(options.folder));
    return result.errors.isEmpty() ? 0 : 1;
}
