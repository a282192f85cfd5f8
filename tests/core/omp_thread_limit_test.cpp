#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {
QStringList runProbe(const std::optional<QString>& limit, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"OMP_THREAD_LIMIT"_s);
    if (limit)
        environment.insert(u"OMP_THREAD_LIMIT"_s, *limit);
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.start(QString::fromUtf8(OMP_LIMIT_PROBE), arguments);
    EXPECT_TRUE(probe.waitForFinished(10000));
    EXPECT_EQ(probe.exitCode(), 0);
    return QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}
} // namespace

TEST(OmpThreadLimit, RestartsWithOneThreadKeepingEveryArgument)
{
    const QStringList arguments{u"--out"_s, u"a folder with blanks"_s, u""_s, u"ünïcode"_s};
    EXPECT_EQ(runProbe(std::nullopt, arguments),
              QStringList({u"limit=1"_s, u"arg=--out"_s, u"arg=a folder with blanks"_s, u"arg="_s, u"arg=ünïcode"_s}));
    // An empty value leaves OpenMP unlimited, so it counts as missing.
    EXPECT_EQ(runProbe(u""_s, {}), QStringList({u"limit=1"_s}));
}

TEST(OmpThreadLimit, KeepsALimitAlreadySet)
{
    EXPECT_EQ(runProbe(u"3"_s, {u"x"_s}), QStringList({u"limit=3"_s, u"arg=x"_s}));
}
