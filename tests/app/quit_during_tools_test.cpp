// Quitting while a tool changes the folder ends the process at once: the run
// stops at its next safe point (an encoding under way is dropped), and the
// next start settles it from its journal. The quitting program is this test
// binary started again as a child.

#include "support/QuitDuringTool.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const char* const homeVariable = "GLIMMERDECK_QUIT_TOOL_HOME";
const char* const toolVariable = "GLIMMERDECK_QUIT_TOOL";
// A hang guard only: a quit that waited for the rest of the run would take
// far longer (the measured figure is the pipeline benchmark's).
constexpr int boundMs = 10'000;
} // namespace

// The child: runs the named tool and quits halfway.
TEST(QuitDuringTool, Child)
{
    const QString home = qEnvironmentVariable(homeVariable);
    if (home.isEmpty())
        GTEST_SKIP() << "started by the QuitDuringTool tests";
    // Returns when the quit found nothing left running, as main() does.
    EXPECT_EQ(QuitDuringTool::runChild(home, qEnvironmentVariable(toolVariable)), 0);
}

class QuitDuringToolRun : public ::testing::TestWithParam<QString>
{};

TEST_P(QuitDuringToolRun, EndsTheProcessAndTheNextStartFindsEveryFileOnceWithItsRow)
{
    QTemporaryDir home;
    const QStringList names = QuitDuringTool::prepare(home.path(), GetParam());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(homeVariable), home.path());
    environment.insert(QString::fromLatin1(toolVariable), GetParam());
    const QuitDuringTool::Quit quit = QuitDuringTool::timeQuit(
        QCoreApplication::applicationFilePath(), {u"--gtest_filter=QuitDuringTool.Child"_s}, environment, boundMs);
    ASSERT_TRUE(quit.quitting) << quit.output.toStdString();
    EXPECT_TRUE(quit.gone) << "still running " << boundMs << " ms after the quit";
    EXPECT_EQ(quit.exitCode, 0) << quit.output.toStdString();
    // Stopped at a safe point, not abandoned mid-step.
    EXPECT_FALSE(quit.output.contains("did not reach a safe point")) << quit.output.toStdString();
    EXPECT_TRUE(quit.output.contains("⏹️")) << quit.output.toStdString();

    const QStringList problems = QuitDuringTool::checkNextStart(home.path(), names);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u"\n"_s).toStdString();
}

// A job that ignores its stop (a step that hangs on a slow disk) is given a
// second: then the process ends without it, and the next start settles what
// it left as after a kill.
TEST(QuitDuringStubbornTool, EndsTheProcessWithoutWaitingForTheTool)
{
    // Between the second the job is given and the hold it ignores the stop for.
    constexpr int stubbornBoundMs = 2000;
    static_assert(stubbornBoundMs < QuitDuringTool::stubbornHold.count());
    QTemporaryDir home;
    const QStringList names = QuitDuringTool::prepare(home.path(), u"stubborn"_s);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(homeVariable), home.path());
    environment.insert(QString::fromLatin1(toolVariable), u"stubborn"_s);
    const QuitDuringTool::Quit quit =
        QuitDuringTool::timeQuit(QCoreApplication::applicationFilePath(), {u"--gtest_filter=QuitDuringTool.Child"_s},
                                 environment, stubbornBoundMs);
    ASSERT_TRUE(quit.quitting) << quit.output.toStdString();
    EXPECT_TRUE(quit.gone) << "still running " << stubbornBoundMs << " ms after the quit: it waited for the tool";
    EXPECT_TRUE(quit.output.contains("did not reach a safe point")) << quit.output.toStdString();
    EXPECT_FALSE(quit.output.contains(QuitDuringTool::strandedLine)) << "the services would go from under the job";
    EXPECT_EQ(quit.exitCode, 0) << quit.output.toStdString();

    const QStringList problems = QuitDuringTool::checkNextStart(home.path(), names);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u"\n"_s).toStdString();
}

INSTANTIATE_TEST_SUITE_P(EachTool, QuitDuringToolRun, ::testing::ValuesIn(QuitDuringTool::tools),
                         [](const ::testing::TestParamInfo<QString>& info) { return info.param.toStdString(); });
