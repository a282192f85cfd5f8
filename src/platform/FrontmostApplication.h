#pragma once

#include <QString>

#include <cstdint>

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

    // None while one of our own windows is in front: files that appear
    // then come from our own tools, never from an application of the user's.
    std::optional<QString> name();

    // Whether the window of process `pid` (0 when it does not say) and class
    // `windowClass` is one of ours.
    static bool isOwnWindow(uint32_t pid, const std::optional<QString>& windowClass);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};
