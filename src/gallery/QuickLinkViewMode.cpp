#include "gallery/QuickLinkViewMode.h"

#include "core/Settings.h"

using namespace Qt::StringLiterals;

QString rawValue(QuickLinkViewMode mode)
{
    return mode == QuickLinkViewMode::list ? u"List"_s : u"Grid"_s;
}

std::optional<QuickLinkViewMode> quickLinkViewModeFromRaw(QStringView raw)
{
    if (raw == u"Grid")
        return QuickLinkViewMode::grid;
    if (raw == u"List")
        return QuickLinkViewMode::list;
    return std::nullopt;
}

QuickLinkViewMode storedQuickLinkViewMode(const Settings& settings)
{
    const QVariant value = settings.value(quickLinkViewModeKey);
    if (value.typeId() != QMetaType::QString)
        return QuickLinkViewMode::grid;
    return quickLinkViewModeFromRaw(value.toString()).value_or(QuickLinkViewMode::grid);
}

void storeQuickLinkViewMode(Settings& settings, QuickLinkViewMode mode)
{
    settings.setValue(quickLinkViewModeKey, rawValue(mode));
}
