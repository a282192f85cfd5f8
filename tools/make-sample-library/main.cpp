// make-sample-library --out DIR [--count N] [--seed S] [--small]
// Writes a realistic screenshot folder and, beside the files, a hidden
// ground-truth file of the text drawn in each image.

#include "core/Console.h"
#include "generators/SampleLibrary.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Writes a sample screenshot folder."_s);
    parser.addHelpOption();
    const QCommandLineOption out(u"out"_s, u"Folder to write into."_s, u"dir"_s);
    const QCommandLineOption count(u"count"_s, u"Number of files (default 40)."_s, u"n"_s, u"40"_s);
    const QCommandLineOption seed(u"seed"_s, u"Seed; the same seed gives the same files."_s, u"s"_s, u"1"_s);
    const QCommandLineOption small(u"small"_s, u"Tiny images, for benchmarks that need many files."_s);
    const QCommandLineOption subfolders(u"subfolders"_s, u"Number of sub-folders used (0-6)."_s, u"n"_s, u"4"_s);
    parser.addOptions({out, count, seed, small, subfolders});
    parser.process(app);
    if (!parser.isSet(out)) {
        Console::printLine(u"❌ --out is required"_s);
        return 2;
    }

    SampleLibrary::Options options;
    options.folder = parser.value(out);
    options.count = parser.value(count).toInt();
    options.seed = parser.value(seed).toUInt();
    options.small = parser.isSet(small);
    options.subfolders = parser.value(subfolders).toInt();
    const SampleLibrary::Result result = SampleLibrary::write(options);

    QFile truth(options.folder + u'/' + QLatin1String(SampleLibrary::groundTruthName));
    if (!truth.open(QIODevice::WriteOnly) || truth.write(SampleLibrary::groundTruthJson(result)) < 0) {
        Console::printLine(u"❌ Could not write "_s + truth.fileName());
        return 1;
    }
    for (const QString& error : result.errors)
        Console::printLine(u"❌ "_s + error);
    Console::printLine(u"✅ Wrote %1 files into %2"_s.arg(result.entries.size()).arg(options.folder));
    return result.errors.isEmpty() ? 0 : 1;
}
