#include "core/CollectionType.h"

using namespace Qt::StringLiterals;

const std::array<CollectionType, 6>& allCollectionTypes()
{
    static constexpr std::array<CollectionType, 6> all{CollectionType::recap,  CollectionType::smartGroup,
                                                       CollectionType::folder, CollectionType::smart,
                                                       CollectionType::link,   CollectionType::userTag};
    return all;
}

QString rawValue(CollectionType type)
{
    switch (type) {
    case CollectionType::recap:
        return u"recap"_s;
    case CollectionType::smartGroup:
        return u"smartGroup"_s;
    case CollectionType::folder:
        return u"folder"_s;
    case CollectionType::smart:
        return u"smart"_s;
    case CollectionType::link:
        return u"link"_s;
    case CollectionType::userTag:
        return u"userTag"_s;
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<CollectionType> collectionTypeFromRaw(QStringView raw)
{
    for (CollectionType type : allCollectionTypes()) {
        if (rawValue(type) == raw)
            return type;
    }
    return std::nullopt;
}

QJsonValue toJson(CollectionType type)
{
    return rawValue(type);
}

std::optional<CollectionType> collectionTypeFromJson(const QJsonValue& json)
{
    if (!json.isString())
        return std::nullopt;
    return collectionTypeFromRaw(json.toString());
}
