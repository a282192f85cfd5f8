#pragma once

#include <QString>
#include <QStringView>

#include <optional>

class Settings;

// How the gallery's cards present each screenshot; stored under
// "galleryViewMode" as "Informative" or "Minimal".
enum class GalleryViewMode { informative, minimal };

inline const QString galleryViewModeKey = QStringLiteral("galleryViewMode");

QString rawValue(GalleryViewMode mode);
// Exact, case-sensitive.
std::optional<GalleryViewMode> galleryViewModeFromRaw(QStringView raw);
// The stored mode; absent or unknown text reads as informative.
GalleryViewMode storedGalleryViewMode(const Settings& settings);
void storeGalleryViewMode(Settings& settings, GalleryViewMode mode);
