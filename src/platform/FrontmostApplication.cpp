#include "platform/FrontmostApplication.h"

#include <QCoreApplication>
#include <QFile>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

using namespace Qt::StringLiterals;

namespace {
bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland"_s;
}
} // namespace

struct FrontmostApplication::Connection
{
    xcb_connection_t* connection = nullptr;
    xcb_ewmh_connection_t ewmh{};
    bool ready = false;

    Connection()
    {
        // Under Wayland the X server sees only its own clients' windows, so
        // its active window names the wrong application more often than not.
        if (qEnvironmentVariableIsEmpty("DISPLAY") || isWaylandSession())
            return;
        connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection))
            return;
        xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(connection, &ewmh);
        ready = xcb_ewmh_init_atoms_replies(&ewmh, cookies, nullptr) == 1;
    }
    ~Connection()
    {
        if (ready)
            xcb_ewmh_connection_wipe(&ewmh);
        if (connection)
            xcb_disconnect(connection);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
};

namespace {
std::optional<QString> nonEmpty(const QString& text)
{
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

std::optional<FrontmostApplication::WindowClass> windowClassOf(xcb_connection_t* connection, xcb_window_t window)
{
    xcb_icccm_get_wm_class_reply_t reply;
    if (xcb_icccm_get_wm_class_reply(connection, xcb_icccm_get_wm_class(connection, window), &reply, nullptr) != 1)
        return std::nullopt;
    FrontmostApplication::WindowClass windowClass{QString::fromUtf8(reply.instance_name),
                                                  QString::fromUtf8(reply.class_name)};
    xcb_icccm_get_wm_class_reply_wipe(&reply);
    if (windowClass.instanceName.isEmpty() && windowClass.className.isEmpty())
        return std::nullopt;
    return windowClass;
}

std::optional<QString> classNameOf(const std::optional<FrontmostApplication::WindowClass>& windowClass)
{
    if (!windowClass)
        return std::nullopt;
    return nonEmpty(windowClass->className.isEmpty() ? windowClass->instanceName : windowClass->className);
}
} // namespace

FrontmostApplication::FrontmostApplication() = default;
FrontmostApplication::~FrontmostApplication() = default;

std::optional<QString> FrontmostApplication::name()
{
    if (!m_connection)
        m_connection = std::make_unique<Connection>();
    if (!m_connection->ready || xcb_connection_has_error(m_connection->connection))
        return std::nullopt;

    xcb_ewmh_connection_t& ewmh = m_connection->ewmh;
    xcb_window_t active = XCB_NONE;
    if (xcb_ewmh_get_active_window_reply(&ewmh, xcb_ewmh_get_active_window(&ewmh, 0), &active, nullptr) != 1 ||
        active == XCB_NONE)
        return std::nullopt;

    uint32_t pid = 0;
    if (xcb_ewmh_get_wm_pid_reply(&ewmh, xcb_ewmh_get_wm_pid(&ewmh, active), &pid, nullptr) != 1)
        pid = 0;
    const std::optional<WindowClass> windowClass = windowClassOf(m_connection->connection, active);
    if (isOwnWindow(pid, classNameOf(windowClass)))
        return std::nullopt;
    return applicationName(pid, windowClass, m_desktopEntries);
}

std::optional<QString> FrontmostApplication::applicationName(uint32_t pid,
                                                             const std::optional<WindowClass>& windowClass,
                                                             DesktopEntries& entries)
{
    if (windowClass) {
        if (auto name = entries.nameForWindowClass(windowClass->instanceName, windowClass->className))
            return name;
    }
    if (pid != 0) {
        if (auto name = executableName(pid))
            return name;
    }
    return classNameOf(windowClass);
}

std::optional<QString> FrontmostApplication::executableName(uint32_t pid)
{
    const QString process = u"/proc/%1/"_s.arg(pid);
    // The link names the program even when it was started under another
    // name; a program replaced since it started reads "<path> (deleted)".
    QString program = QFile::symLinkTarget(process + u"exe"_s);
    if (program.endsWith(u" (deleted)"_s))
        program.chop(int(qstrlen(" (deleted)")));
    if (program.isEmpty()) {
        // Another user's process hides its link, but not its command line.
        QFile commandLine(process + u"cmdline"_s);
        if (commandLine.open(QIODevice::ReadOnly))
            program = QString::fromLocal8Bit(commandLine.readAll().split('\0').value(0));
    }
    return nonEmpty(program.section(u'/', -1));
}

bool FrontmostApplication::isOwnWindow(uint32_t pid, const std::optional<QString>& windowClass)
{
    if (pid != 0)
        return pid == uint32_t(QCoreApplication::applicationPid());
    return windowClass && windowClass->compare(QCoreApplication::applicationName(), Qt::CaseInsensitive) == 0;
}
