#include "core/AppEvents.h"

AppEvents& AppEvents::shared()
{
    static AppEvents instance;
    return instance;
}
