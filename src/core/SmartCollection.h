#pragma once

#include "core/CollectionType.h"
#include "core/Screenshot.h"
#include "core/SystemColor.h"

#include <QHashFunctions>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

// A named, typed filter over the library with what a screen needs to show it.
// It holds a function, so it is never coded or stored.
struct SmartCollection
{
    using Predicate = std::function<bool(const Screenshot&)>;

    QUuid id;
    QString name;
    CollectionType type = CollectionType::smart;
    QString icon;
    std::optional<SystemColor> color;
    qint64 itemCount = 0;
    Predicate predicate;

    bool contains(const Screenshot& screenshot) const { return predicate && predicate(screenshot); }

    // Symbol, colour and test take no part: two builds of the same collection
    // with the same count are the same collection to a view.
    bool operator==(const SmartCollection& other) const
    {
        return id == other.id && name == other.name && type == other.type && itemCount == other.itemCount;
    }
};

inline size_t qHash(const SmartCollection& collection, size_t seed = 0) noexcept
{
    return qHashMulti(seed, collection.id, collection.name, rawValue(collection.type), collection.itemCount);
}
