// Quitting while an engine is stuck in the worst file: the process writes
// what was finished and is gone within two seconds. The quitting program is
// this test binary started again as a child, so that the parent can time its
// exit and look at the store it left.

#include "app/AppServices.h"
#include "core/DatabaseManager.h"
#include "core/LogTimer.h"
#include "platform/SpellChecker.h"
#include "support/Fakes.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <future>

using namespace Qt::StringLiterals;

namespace {
const char* const childFolderVariable = "GLIMMERDECK_QUIT_CHILD_FOLDER";

// Text for every file at once, except "worst.png", whose engine never comes
// back and ignores every stop and deadline.
class StuckAnalyzer : public FileAnalyzer
{
public:
    std::atomic<bool> entered{false};

    std::optional<QString> recognizeText(const QString& path) override
    {
        if (path.endsWith(u"worst.png"_s)) {
            entered = true;
            std::promise<void>().get_future().wait(); // never
        }
        return u"text of "_s + path.section(u'/', -1);
    }
    QList<QUrl> extractUrls(const QString&) override { return {}; }
    QStringList labels(const QString&) override { return {}; }
    std::optional<QList<double>> embedding(const QString&) override { return QList<double>{0.5}; }
};

QString storePath(const QString& folder)
{
    return folder + u"/store.sqlite"_s;
}
} // namespace

// The child: monitors a folder, and once the worst file is being read and
// the others are analysed, quits as main() does after its event loop ends.
TEST(QuitMidFile, Child)
{
    const QString folder = qEnvironmentVariable(childFolderVariable);
    if (folder.isEmpty())
        GTEST_SKIP() << "started by QuitMidFile.ExitsWithinTwoSecondsHavingWrittenWhatWasFinished";
    const auto analyzer = std::make_shared<StuckAnalyzer>();
    AppServices services({.settingsPath = folder + u"/settings.conf"_s,
                          .databasePath = storePath(folder),
                          .memorySource = std::make_unique<PlentyOfMemory>(),
                          .analyzer = analyzer,
                          .spellChecker = std::make_shared<NullSpellChecker>(),
                          .dataFolder = folder});
    auto chooser = std::make_unique<FakeFolderChooser>();
    chooser->answer = folder + u"/Shots"_s;
    services.monitor().setFolderChooser(std::move(chooser));
    services.monitor().requestFolderAccess();
    ASSERT_TRUE(waitUntil(
        [&] { return analyzer->entered && services.workers().analysis().threads().activeThreadCount() == 1; }, 20000));
    QCoreApplication::processEvents();
    std::printf("quitting\n");
    std::fflush(stdout);
    services.shutDown();
    services.endProcessIfStranded(0);
    ADD_FAILURE() << "the process should have ended with the engine still stuck";
}

TEST(QuitMidFile, ExitsWithinTwoSecondsHavingWrittenWhatWasFinished)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(u"Shots"_s));
    for (const QString& name : {u"worst.png"_s, u"a.png"_s, u"b.png"_s, u"c.png"_s}) {
        QFile file(dir.filePath(u"Shots/"_s + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("pixels");
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childFolderVariable), dir.path());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {u"--gtest_filter=QuitMidFile.Child"_s});
    ASSERT_TRUE(child.waitForStarted());

    QByteArray output;
    while (!output.contains("quitting\n") && child.waitForReadyRead(30000))
        output += child.readAllStandardOutput();
    ASSERT_TRUE(output.contains("quitting\n")) << output.toStdString();
    QElapsedTimer quitting;
    quitting.start();
    ASSERT_TRUE(child.waitForFinished(10000));
    const qint64 quitMs = quitting.elapsed();
    EXPECT_LT(quitMs, 2000);
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << (output + child.readAllStandardOutput()).toStdString();

    DatabaseManager store(storePath(dir.path()));
    LogTimer timer(u"db_query_screenshots"_s);
    QStringList analysed;
    for (const Screenshot& row : store.fetchPage(dir.filePath(u"Shots"_s), 10, 0, true, timer)) {
        if (row.ocrText)
            analysed.append(row.filename);
    }
    analysed.sort();
    EXPECT_EQ(analysed, (QStringList{u"a.png"_s, u"b.png"_s, u"c.png"_s}));
}
