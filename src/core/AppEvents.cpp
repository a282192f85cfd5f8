#include "core/AppEvents.h"
