// The source recorded for a new file is never our own process: while one of
// our windows is in front, files appearing come from our own tools.

#include "platform/FrontmostApplication.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(FrontmostApplication, OurOwnWindowsAreNoSource)
{
    const auto ownPid = uint32_t(QCoreApplication::applicationPid());
    EXPECT_TRUE(FrontmostApplication::isOwnWindow(ownPid, std::nullopt));
    EXPECT_TRUE(FrontmostApplication::isOwnWindow(ownPid, u"firefox"_s));
    EXPECT_FALSE(FrontmostApplication::isOwnWindow(ownPid + 1, std::nullopt));
    // A window that names no process is told by its class.
    const QString ours = QCoreApplication::applicationName();
    EXPECT_TRUE(FrontmostApplication::isOwnWindow(0, ours.toUpper()));
    EXPECT_FALSE(FrontmostApplication::isOwnWindow(0, u"firefox"_s));
    EXPECT_FALSE(FrontmostApplication::isOwnWindow(0, std::nullopt));
    // Another process whose class happens to be ours is still another process.
    EXPECT_FALSE(FrontmostApplication::isOwnWindow(ownPid + 1, ours));
}
