#pragma once

#include <QString>

class ScreenshotMonitor;

// "<n> screenshots in <folder>": what a tool screen works on.
QString librarySummary(const ScreenshotMonitor& monitor);
