#include "gallery/GalleryViewMode.h"

#include "core/Settings.h"

using namespace Qt::StringLiterals;

QString rawValue(GalleryViewMode mode)
{
    return mode == GalleryViewMode::minimal ? u"Minimal"_s : u"Informative"_s;
}

std::optional<GalleryViewMode> galleryViewModeFromRaw(QStringView raw)
{
    if (raw == u"Informative")
        return GalleryViewMode::informative;
    if (raw == u"Minimal")
        return GalleryViewMode::minimal;
    return std::nullopt;
}

GalleryViewMode storedGalleryViewMode(const Settings& settings)
{
    const QVariant value = settings.value(galleryViewModeKey);
    if (value.typeId() != QMetaType::QString)
        return GalleryViewMode::informative;
    return galleryViewModeFromRaw(value.toString()).value_or(GalleryViewMode::informative);
}

void storeGalleryViewMode(Settings& settings, GalleryViewMode mode)
{
    settings.setValue(galleryViewModeKey, rawValue(mode));
}
