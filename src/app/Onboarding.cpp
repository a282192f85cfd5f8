#include "app/Onboarding.h"

#include "core/Settings.h"

namespace Onboarding {
bool isComplete(const Settings& settings, bool fallback)
{
    return settings.boolValue(key, fallback);
}

void setComplete(Settings& settings, bool complete)
{
    settings.setValue(key, complete);
}
} // namespace Onboarding
