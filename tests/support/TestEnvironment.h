#pragma once

#include <QString>

namespace TestEnvironment {
// Points HOME and the XDG data, config and cache folders at a fresh temporary
// folder (removed at exit) and selects the offscreen platform, so no test
// touches the user's files or needs a display. Call before the application
// object exists.
void isolate();

// The temporary home folder chosen by isolate().
QString home();
} // namespace TestEnvironment
