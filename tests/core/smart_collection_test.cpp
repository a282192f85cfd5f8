#include "core/CollectionType.h"
#include "core/SmartCollection.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
SmartCollection videos(const QUuid& id)
{
    return {id, u"Videos"_s, CollectionType::smart, u"play.tv.fill"_s, SystemColor::cyan, 3, [](const Screenshot& s) {
                return s.isVideo();
            }};
}
} // namespace

TEST(SmartCollection, EqualityIgnoresSymbolColourAndTest)
{
    const QUuid id = QUuid::createUuid();
    const SmartCollection a = videos(id);
    SmartCollection b = videos(id);
    b.icon = u"film"_s;
    b.color.reset();
    b.predicate = [](const Screenshot&) { return false; };

    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));

    b.itemCount = 4;
    EXPECT_NE(a, b);
    EXPECT_NE(qHash(a), qHash(b));

    EXPECT_NE(videos(id), videos(QUuid::createUuid()));

    SmartCollection renamed = videos(id);
    renamed.name = u"Recordings"_s;
    EXPECT_NE(a, renamed);
    SmartCollection retyped = videos(id);
    retyped.type = CollectionType::recap;
    EXPECT_NE(a, retyped);
}

TEST(SmartCollection, AppliesItsTest)
{
    const SmartCollection collection = videos(QUuid::createUuid());
    EXPECT_TRUE(collection.contains(Screenshot(u"/d/a.MOV"_s, QUuid::createUuid())));
    EXPECT_FALSE(collection.contains(Screenshot(u"/d/a.png"_s, QUuid::createUuid())));
    EXPECT_FALSE(SmartCollection{}.contains(Screenshot(u"/d/a.MOV"_s, QUuid::createUuid())));
}

TEST(CollectionType, RawValuesInOrderAndExactParsing)
{
    const QStringList expected{u"recap"_s, u"smartGroup"_s, u"folder"_s, u"smart"_s, u"link"_s, u"userTag"_s};
    QStringList raw;
    for (CollectionType type : allCollectionTypes()) {
        raw.append(rawValue(type));
        EXPECT_EQ(collectionTypeFromRaw(rawValue(type)), type);
    }
    EXPECT_EQ(raw, expected);

    EXPECT_EQ(collectionTypeFromRaw(u"userTag"), CollectionType::userTag);
    EXPECT_FALSE(collectionTypeFromRaw(u"Recap"));
    EXPECT_FALSE(collectionTypeFromRaw(u"user_tag"));
    EXPECT_FALSE(collectionTypeFromRaw(u" link"));
    EXPECT_FALSE(collectionTypeFromRaw(u""));
}

TEST(CollectionType, CodesAsItsRawText)
{
    const QJsonValue coded = toJson(CollectionType::smartGroup);
    ASSERT_TRUE(coded.isString());
    EXPECT_EQ(coded.toString(), u"smartGroup"_s);
    EXPECT_EQ(collectionTypeFromJson(coded), CollectionType::smartGroup);

    EXPECT_FALSE(collectionTypeFromJson(QJsonValue(u"SmartGroup"_s)));
    EXPECT_FALSE(collectionTypeFromJson(QJsonValue(3)));
    EXPECT_FALSE(collectionTypeFromJson(QJsonValue()));

    QSet<CollectionType> all(allCollectionTypes().begin(), allCollectionTypes().end());
    EXPECT_EQ(all.size(), 6);
}
