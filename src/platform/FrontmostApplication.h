#pragma once

#include "platform/DesktopEntries.h"

#include <QString>

#include <cstdint>

#include <memory>
#include <optional>

// The name of the application whose window is active, recorded as the source
// of a new screenshot: the name its desktop entry gives it ("Terminal"), else
// its program's file name. Known on X11 (through the window manager's active
// window, its class and its process); unknown under Wayland or without a
// display.
class FrontmostApplication
{
public:
    // A window's WM_CLASS: its instance name and its class name.
    struct WindowClass
    {
        QString instanceName;
        QString className;
    };

    FrontmostApplication();
    ~FrontmostApplication();

    // None while one of our own windows is in front: files that appear
    // then come from our own tools, never from an application of the user's.
    std::optional<QString> name();

    // Whether the window of process `pid` (0 when it does not say) and class
    // `windowClass` is one of ours.
    static bool isOwnWindow(uint32_t pid, const std::optional<QString>& windowClass);

    // The name for a window of process `pid` (0 when it does not say) and
    // class `windowClass`: its desktop entry's name, else the file name of
    // the process's program, else the class name.
    static std::optional<QString> applicationName(uint32_t pid, const std::optional<WindowClass>& windowClass,
                                                  DesktopEntries& entries);
    // The file name of the program process `pid` runs, in full (the kernel's
    // own process name stops at 15 characters).
    static std::optional<QString> executableName(uint32_t pid);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
    DesktopEntries m_desktopEntries;
};
