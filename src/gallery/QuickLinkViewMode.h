#pragma once

#include <QString>
#include <QStringView>

#include <optional>

class Settings;

// How the quick-links screen lays out its links; stored under
// "quickLinkViewMode" as "Grid" or "List".
enum class QuickLinkViewMode { grid, list };

inline const QString quickLinkViewModeKey = QStringLiteral("quickLinkViewMode");

QString rawValue(QuickLinkViewMode mode);
// Exact, case-sensitive.
std::optional<QuickLinkViewMode> quickLinkViewModeFromRaw(QStringView raw);
// The stored mode; absent or unknown text reads as grid.
QuickLinkViewMode storedQuickLinkViewMode(const Settings& settings);
void storeQuickLinkViewMode(Settings& settings, QuickLinkViewMode mode);
