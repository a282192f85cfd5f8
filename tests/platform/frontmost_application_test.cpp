// The source recorded for a new file is never our own process: while one of
// our windows is in front, files appearing come from our own tools. Another
// application is recorded by the name its desktop entry gives it, else by its
// program's whole file name.

#include "platform/FrontmostApplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

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

namespace {
// Desktop entries in a scratch user folder and two scratch system folders,
// read through the XDG variables as the desktop sets them.
class ScratchDesktopEntries : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_savedHome = qgetenv("XDG_DATA_HOME");
        m_savedDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_root.filePath(u"home"_s)));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_root.filePath(u"local"_s) + u':' + m_root.filePath(u"system"_s)));
    }
    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", m_savedHome);
        if (m_savedDirs.isNull())
            qunsetenv("XDG_DATA_DIRS");
        else
            qputenv("XDG_DATA_DIRS", m_savedDirs);
    }

    void write(const QString& base, const QString& relativePath, const QByteArray& content)
    {
        const QString path = m_root.filePath(base + u"/applications/"_s + relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir m_root;
    QByteArray m_savedHome;
    QByteArray m_savedDirs;
};

// A copy of `sleep` under a name longer than the kernel's 15-character
// process name, running until the test ends.
class LongNamedProcess
{
public:
    explicit LongNamedProcess(const QString& folder)
        : m_program(folder + u"/screenshot-annotation-studio"_s)
    {
        QFile::copy(u"/bin/sleep"_s, m_program);
        m_process.start(m_program, {u"30"_s});
        m_process.waitForStarted();
    }
    ~LongNamedProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    uint32_t pid() const { return uint32_t(m_process.processId()); }

private:
    QString m_program;
    QProcess m_process;
};
} // namespace

TEST_F(ScratchDesktopEntries, WindowClassesFindTheirEntrysName)
{
    write(u"system"_s, u"org.gnome.Terminal.desktop"_s,
          "[Desktop Entry]\nType=Application\nName=Terminal\nStartupWMClass=Gnome-terminal\n"
          "[Desktop Action new-window]\nName=New Window\n");
    write(u"system"_s, u"firefox-esr.desktop"_s, "[Desktop Entry]\nName=Shadowed Firefox\n");
    write(u"local"_s, u"firefox-esr.desktop"_s, "# a comment\n[Desktop Entry]\nName=Firefox\\sESR\nName[xx]=Fuchs\n");
    write(u"local"_s, u"kde/org.kde.konsole.desktop"_s, "[Desktop Entry]\nName=Konsole\nStartupWMClass=konsole\n");
    write(u"system"_s, u"removed.desktop"_s, "[Desktop Entry]\nName=Removed App\n");
    write(u"home"_s, u"removed.desktop"_s, "[Desktop Entry]\nName=Removed App\nHidden=true\n");
    DesktopEntries entries;

    // By StartupWMClass, by the desktop file id (any case), the user's and
    // the earlier folder's entry first, the main group's Name only.
    EXPECT_EQ(entries.nameForWindowClass(u"gnome-terminal-server"_s, u"Gnome-terminal"_s), u"Terminal"_s);
    EXPECT_EQ(entries.nameForWindowClass(u"Navigator"_s, u"Firefox-esr"_s), u"Firefox ESR"_s);
    EXPECT_EQ(entries.nameForWindowClass(u"konsole"_s, u"Konsole"_s), u"Konsole"_s);
    EXPECT_EQ(entries.nameForWindowClass(u"removed"_s, u"Removed"_s), std::nullopt) << "hidden by the user";
    EXPECT_EQ(entries.nameForWindowClass(u"new-window"_s, u"New-window"_s), std::nullopt);
    EXPECT_EQ(entries.nameForWindowClass(u"xterm"_s, u"XTerm"_s), std::nullopt);

    // An application installed while the program runs is found at once.
    write(u"home"_s, u"xterm.desktop"_s, "[Desktop Entry]\nName=XTerm Console\n");
    EXPECT_EQ(entries.nameForWindowClass(u"xterm"_s, u"XTerm"_s), u"XTerm Console"_s);
}

TEST_F(ScratchDesktopEntries, AWindowIsNamedByItsEntryElseByItsProgramInFull)
{
    write(u"system"_s, u"annotator.desktop"_s,
          "[Desktop Entry]\nName=Annotation Studio\nStartupWMClass=Annotation-studio\n");
    LongNamedProcess process(m_root.path());
    ASSERT_NE(process.pid(), 0u);
    QFile comm(u"/proc/%1/comm"_s.arg(process.pid()));
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    ASSERT_EQ(comm.readAll().trimmed(), "screenshot-anno") << "the kernel's short name, which must not be recorded";

    DesktopEntries entries;
    using WindowClass = FrontmostApplication::WindowClass;
    const auto name = [&](uint32_t pid, std::optional<WindowClass> windowClass) {
        return FrontmostApplication::applicationName(pid, windowClass, entries);
    };
    EXPECT_EQ(name(process.pid(), WindowClass{u"annotation-studio"_s, u"Annotation-studio"_s}), u"Annotation Studio"_s);
    EXPECT_EQ(name(process.pid(), WindowClass{u"main"_s, u"Unlisted"_s}), u"screenshot-annotation-studio"_s);
    EXPECT_EQ(name(process.pid(), std::nullopt), u"screenshot-annotation-studio"_s);
    EXPECT_EQ(name(0, WindowClass{u"main"_s, u"Unlisted"_s}), u"Unlisted"_s);
    EXPECT_EQ(name(0, std::nullopt), std::nullopt);
}
