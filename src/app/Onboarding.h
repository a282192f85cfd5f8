#pragma once

#include <QString>

class Settings;

// The stored "onboarding finished" flag that the root view, the welcome screen
// and the processing screen share.
namespace Onboarding {
inline const QString key = QStringLiteral("hasCompletedOnboarding");

// `fallback` when the flag is absent or unreadable.
bool isComplete(const Settings& settings, bool fallback = false);
void setComplete(Settings& settings, bool complete);
} // namespace Onboarding
