#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {
const QString probePath = QString::fromUtf8(OMP_LIMIT_PROBE);

QStringList runProbe(const std::optional<QString>& limit, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"OMP_THREAD_LIMIT"_s);
    if (limit)
        environment.insert(u"OMP_THREAD_LIMIT"_s, *limit);
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.start(probePath, arguments);
    EXPECT_TRUE(probe.waitForFinished(10000));
    EXPECT_EQ(probe.exitCode(), 0);
    return QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// What the probe prints besides its arguments: the limit, and the process
// name the kernel keeps (15 bytes of the program's file name), then argv[0].
QStringList probeLines(const QString& limit, const QStringList& arguments)
{
    QStringList lines{u"limit="_s + limit, u"name="_s + probePath.section(u'/', -1).left(15), u"arg="_s + probePath};
    for (const QString& argument : arguments)
        lines.append(u"arg="_s + argument);
    return lines;
}
} // namespace

// The restarted process keeps its own name (not the "exe" of the kernel's
// link), so pgrep and top find it as before.
TEST(OmpThreadLimit, RestartsWithOneThreadKeepingItsNameAndEveryArgument)
{
    const QStringList arguments{u"--out"_s, u"a folder with blanks"_s, u""_s, u"ünïcode"_s};
    EXPECT_EQ(runProbe(std::nullopt, arguments), probeLines(u"1"_s, arguments));
    // An empty value leaves OpenMP unlimited, so it counts as missing.
    EXPECT_EQ(runProbe(u""_s, {}), probeLines(u"1"_s, {}));
}

TEST(OmpThreadLimit, KeepsALimitAlreadySet)
{
    EXPECT_EQ(runProbe(u"3"_s, {u"x"_s}), probeLines(u"3"_s, {u"x"_s}));
}
