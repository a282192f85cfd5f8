#include "core/JsonArrayCodec.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

using namespace Qt::StringLiterals;

TEST(JsonArrayCodec, StringsAreCompactWithEscapedSlashesAndReadBack)
{
    const QStringList strings{u"https://a.b/c"_s, u"quote \" back\\slash"_s, u"tab\tnew\nline\u0001"_s,
                              u"emoji 😀 ünï"_s, u""_s};
    const QByteArray json = JsonArrayCodec::encodeStrings(strings);
    EXPECT_EQ(json, QByteArray(R"(["https:\/\/a.b\/c","quote \" back\\slash","tab\tnew\nline\u0001",)") +
                        "\"emoji 😀 ünï\",\"\"]");
    EXPECT_EQ(JsonArrayCodec::decodeStrings(json), strings);
    // Any standard JSON reader agrees with the encoding.
    EXPECT_EQ(QJsonDocument::fromJson(json).array().toVariantList().size(), strings.size());
    EXPECT_EQ(JsonArrayCodec::encodeStrings({}), "[]");
}

TEST(JsonArrayCodec, DecodesStandardEscapesAndBlanks)
{
    EXPECT_EQ(JsonArrayCodec::decodeStrings(R"( [ "a\/b" , "\u00e9\ud83d\ude00" ] )"),
              QStringList({u"a/b"_s, u"é😀"_s}));
    EXPECT_EQ(JsonArrayCodec::decodeStrings("[]"), QStringList());
    EXPECT_EQ(JsonArrayCodec::decodeNumbers(" [ ] "), QList<double>());
}

TEST(JsonArrayCodec, NumbersRoundTripExactly)
{
    const QList<double> numbers{0.1, -2.5, 1e-7, 1.0, 0.12345678901234568, -0.0, 1e300};
    const auto json = JsonArrayCodec::encodeNumbers(numbers);
    ASSERT_TRUE(json);
    EXPECT_EQ(json->left(13), "[0.1,-2.5,1e-");
    EXPECT_EQ(JsonArrayCodec::decodeNumbers(*json), numbers);
    EXPECT_EQ(JsonArrayCodec::decodeNumbers("[1,2E3,-0.5e-1]"), QList<double>({1, 2000, -0.05}));
}

// An embedding read from the store lives as long as its row: a library's
// worth of them must not carry the spare room of a list grown one by one.
TEST(JsonArrayCodec, DecodedNumbersTakeNoMoreRoomThanTheyNeed)
{
    for (const qsizetype count : {1, 5, 100, 512}) {
        QList<double> numbers(count);
        std::iota(numbers.begin(), numbers.end(), 0.25);
        const std::optional<QList<double>> decoded =
            JsonArrayCodec::decodeNumbers(*JsonArrayCodec::encodeNumbers(numbers));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(*decoded, numbers);
        EXPECT_EQ(decoded->capacity(), count);
    }
    EXPECT_EQ(JsonArrayCodec::decodeNumbers(" [ 1 , 2 ] ")->capacity(), 2);
}

TEST(JsonArrayCodec, NonFiniteNumbersCannotBeEncoded)
{
    EXPECT_FALSE(JsonArrayCodec::encodeNumbers({1.0, std::numeric_limits<double>::quiet_NaN()}));
    EXPECT_FALSE(JsonArrayCodec::encodeNumbers({std::numeric_limits<double>::infinity()}));
}

TEST(JsonArrayCodec, RejectsAnythingButOneArrayOfTheRightKind)
{
    for (const char* bad : {"", "not json", "[", "[\"a\"", "[\"a\",]", "[\"a\"] x", "[1]", "{\"a\":1}",
                            "[\"bad \\x escape\"]", "[\"lone \\ud800\"]", "[\"raw\ncontrol\"]", "null"})
        EXPECT_FALSE(JsonArrayCodec::decodeStrings(bad)) << bad;
    for (const char* bad :
         {"[\"1\"]", "[01]", "[1.]", "[.5]", "[+1]", "[1e]", "[NaN]", "[Infinity]", "[1e999]", "[1 2]", "[-]"})
        EXPECT_FALSE(JsonArrayCodec::decodeNumbers(bad)) << bad;
}
