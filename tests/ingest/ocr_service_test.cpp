#include "ingest/OCRService.h"

#include "support/Capture.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(OCRServiceExtractUrls, GivesTheLinksOfATextInOrderWithDuplicates)
{
    ConsoleCapture console;
    const QList<QUrl> urls =
        OCRService::extractUrls(u"Docs at example.com/guide, mirror https://example.com/guide and example.com/guide"_s);
    EXPECT_EQ(urls, QList<QUrl>({QUrl(u"http://example.com/guide"_s), QUrl(u"https://example.com/guide"_s),
                                 QUrl(u"http://example.com/guide"_s)}));
    EXPECT_TRUE(console.lines().isEmpty());
}

TEST(OCRServiceExtractUrls, EmptyAndLinklessTextsGiveNothing)
{
    EXPECT_TRUE(OCRService::extractUrls(QString()).isEmpty());
    EXPECT_TRUE(OCRService::extractUrls(u""_s).isEmpty());
    EXPECT_TRUE(OCRService::extractUrls(u"Total 42, see readme.md"_s).isEmpty());
}
