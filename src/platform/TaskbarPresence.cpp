#include "platform/TaskbarPresence.h"

#include <QEvent>
#include <QGuiApplication>
#include <QList>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {
struct FreeDeleter
{
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t rootOf(xcb_connection_t* connection, xcb_window_t window)
{
    XcbReply<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    return reply ? reply->root : xcb_window_t(XCB_WINDOW_NONE);
}

// A mapped window's state belongs to the window manager: ask it to change.
void requestState(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t wmState, xcb_atom_t state, bool add)
{
    const xcb_window_t root = rootOf(connection, window);
    if (root == XCB_WINDOW_NONE)
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = wmState;
    message.data.data32[0] = add ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
    message.data.data32[1] = state;
    message.data.data32[3] = 1; // source: a normal application
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
}

// Before mapping the window owns the property; Qt merges its own states into
// what is there when it maps the window.
void writeState(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t wmState, xcb_atom_t state, bool add)
{
    QList<xcb_atom_t> states;
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, wmState, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        states = QList<xcb_atom_t>(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
    }
    states.removeAll(state);
    if (add)
        states.append(state);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, wmState, XCB_ATOM_ATOM, 32, uint32_t(states.size()),
                        states.constData());
}
} // namespace

TaskbarPresence::TaskbarPresence(QWidget& window)
    : QObject(&window)
    , m_window(window)
{
    m_window.installEventFilter(this);
}

void TaskbarPresence::setShownInTaskbar(bool shown)
{
    m_shownInTaskbar = shown;
    apply(m_window.isVisible());
}

bool TaskbarPresence::eventFilter(QObject* watched, QEvent* event)
{
    // The window manager drops the state whenever the window is hidden, so
    // it is written again before every showing (the window is not mapped yet).
    if (watched == &m_window && event->type() == QEvent::Show && !m_shownInTaskbar)
        apply(false);
    return QObject::eventFilter(watched, event);
}

void TaskbarPresence::apply(bool windowIsMapped)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || !m_window.isWindow())
        return;
    const auto window = xcb_window_t(m_window.winId());
    const xcb_atom_t wmState = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skipTaskbar = internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (wmState == XCB_ATOM_NONE || skipTaskbar == XCB_ATOM_NONE)
        return;
    if (windowIsMapped)
        requestState(connection, window, wmState, skipTaskbar, !m_shownInTaskbar);
    else
        writeState(connection, window, wmState, skipTaskbar, !m_shownInTaskbar);
    xcb_flush(connection);
}
