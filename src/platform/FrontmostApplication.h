#pragma once

#include <QString>

#include <memory>
#include <optional>

// The name of the application whose window is active, recorded as the source
// of a new screenshot. Known on X11 (through the window manager's active
// window and its process); unknown under Wayland or without a display.
class FrontmostApplication
{
public:
    FrontmostApplication();
    ~FrontmostApplication();

    std::optional<QString> name();

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
