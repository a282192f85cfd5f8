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
std::optional<QString> processName(uint32_t pid)
{
    QFile comm(u"/proc/%1/comm"_s.arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString name = QString::fromUtf8(comm.readAll()).trimmed();
    return name.isEmpty() ? std::nullopt : std::optional(name);
}

std::optional<QString> windowClassName(xcb_connection_t* connection, xcb_window_t window)
{
    xcb_icccm_get_wm_class_reply_t reply;
    if (xcb_icccm_get_wm_class_reply(connection, xcb_icccm_get_wm_class(connection, window), &reply, nullptr) != 1)
        return std::nullopt;
    const QString name = QString::fromUtf8(reply.class_name);
    xcb_icccm_get_wm_class_reply_wipe(&reply);
    return name.isEmpty() ? std::nullopt : std::optional(name);
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
    if (isOwnWindow(pid, std::nullopt))
        return std::nullopt;
    if (pid != 0) {
        if (auto name = processName(pid))
            return name;
    }
    std::optional<QString> windowClass = windowClassName(m_connection->connection, active);
    return isOwnWindow(pid, windowClass) ? std::nullopt : windowClass;
}

bool FrontmostApplication::isOwnWindow(uint32_t pid, const std::optional<QString>& windowClass)
{
    if (pid != 0)
        return pid == uint32_t(QCoreApplication::applicationPid());
    return windowClass && windowClass->compare(QCoreApplication::applicationName(), Qt::CaseInsensitive) == 0;
}
