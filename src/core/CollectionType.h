#pragma once

#include <QJsonValue>
#include <QString>

#include <array>
#include <optional>

enum class CollectionType { recap, smartGroup, folder, smart, link, userTag };

// The stored and coded form of each case: "recap", "smartGroup", "folder",
// "smart", "link", "userTag".
QString rawValue(CollectionType type);
// Exact, case-sensitive: "Recap" and "user_tag" are nothing.
std::optional<CollectionType> collectionTypeFromRaw(QStringView raw);
// All cases in declaration order.
const std::array<CollectionType, 6>& allCollectionTypes();

QJsonValue toJson(CollectionType type);
std::optional<CollectionType> collectionTypeFromJson(const QJsonValue& json);

inline size_t qHash(CollectionType type, size_t seed = 0) noexcept
{
    return qHash(rawValue(type), seed);
}
