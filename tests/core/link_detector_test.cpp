#include "core/LinkDetector.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QStringList linksIn(const QString& text)
{
    const auto detector = LinkDetector::shared();
    EXPECT_NE(detector, nullptr);
    QStringList links;
    for (const QUrl& url : detector->detect(text))
        links.append(url.toString(QUrl::FullyEncoded));
    return links;
}

struct LinkCase
{
    const char* text;
    QStringList expected;
};

// What a reader of the text would click; printed on failure with its input.
const LinkCase linkTable[] = {
    // Schemes, queries and fragments, as written.
    {"Visit https://example.com/path?q=1&r=2#frag now", {u"https://example.com/path?q=1&r=2#frag"_s}},
    {"ftp://files.example.org/pub/file.tar.gz", {u"ftp://files.example.org/pub/file.tar.gz"_s}},
    {"HTTP://EXAMPLE.COM/Page", {u"http://example.com/Page"_s}},
    {"https://example.com/search?q=a,b", {u"https://example.com/search?q=a,b"_s}},
    {"https://example.com/dir/", {u"https://example.com/dir/"_s}},
    {"url=https://example.com/x", {u"https://example.com/x"_s}},
    {"https:// is not a link", {}},
    // Brackets and trailing punctuation.
    {"See https://en.wikipedia.org/wiki/Foo_(bar) for more", {u"https://en.wikipedia.org/wiki/Foo_(bar)"_s}},
    {"(see https://example.com/a)", {u"https://example.com/a"_s}},
    {"(https://en.wikipedia.org/wiki/Foo_(bar)).", {u"https://en.wikipedia.org/wiki/Foo_(bar)"_s}},
    {"[docs](https://example.com/docs)", {u"https://example.com/docs"_s}},
    {"<https://example.com>", {u"https://example.com"_s}},
    {"Go to https://example.com.", {u"https://example.com"_s}},
    {"Links: https://a.com, https://b.org; done!", {u"https://a.com"_s, u"https://b.org"_s}},
    {"\u201Chttps://example.com/q\u201D", {u"https://example.com/q"_s}},
    {"Really? https://example.com/?!", {u"https://example.com/"_s}},
    // www. hosts and bare hosts get "http://".
    {"www.example.com", {u"http://www.example.com"_s}},
    {"WWW.Example.co.uk/about.", {u"http://www.example.co.uk/about"_s}},
    {"Find it on github.com/user/repo.", {u"http://github.com/user/repo"_s}},
    {"example.com", {u"http://example.com"_s}},
    {"(example.org)", {u"http://example.org"_s}},
    {"example.com:8080/admin", {u"http://example.com:8080/admin"_s}},
    {"docs.rs/serde", {u"http://docs.rs/serde"_s}},
    {"bücher.de", {u"http://xn--bcher-kva.de"_s}},
    {"пример.рф", {u"http://xn--e1afmkfd.xn--p1ai"_s}},
    // File names and other dotted words are not links.
    {"readme.md", {}},
    {"report.pdf", {}},
    {"notes.zip", {}},
    {"image.png", {}},
    {"Screen Recording 2024.mov and install.sh", {}},
    {"e.g. i.e. 3.14 v1.2.3 end.", {}},
    {"ex_ample.com", {}},
    {"localhost:8080/x", {}},
    // IP addresses: with a scheme only.
    {"http://192.168.1.1:8080/admin", {u"http://192.168.1.1:8080/admin"_s}},
    {"http://[::1]:3000/", {u"http://[::1]:3000/"_s}},
    {"ping 192.168.1.1 now", {}},
    // E-mail addresses.
    {"mail john.doe+tag@example.com.", {u"mailto:john.doe+tag@example.com"_s}},
    {"support@example.org, sales@example.org", {u"mailto:support@example.org"_s, u"mailto:sales@example.org"_s}},
    {"mailto:someone@example.com", {u"mailto:someone@example.com"_s}},
    {"user@localhost", {}},
    // Order of occurrence, duplicates kept.
    {"https://a.com then b.org then https://a.com", {u"https://a.com"_s, u"http://b.org"_s, u"https://a.com"_s}},
    {"", {}},
};
} // namespace

TEST(LinkDetector, FindsWhatAReaderWouldClick)
{
    for (const LinkCase& entry : linkTable) {
        const QString text = QString::fromUtf8(entry.text);
        EXPECT_EQ(linksIn(text), entry.expected) << "text: " << entry.text;
    }
}

namespace {
// Texts as text recognition reads them back from screenshots, with the links
// they must give (and, by their absence, the ones they must not).
const LinkCase recognisedTable[] = {
    // Reserved names are no links, written bare, after "www." or a scheme.
    {"calendar.example", {}},
    {"Meeting at https://calendar.example/event/42", {}},
    {"www.intranet.test and http://build.invalid/log", {}},
    {"mail ops@host.example", {}},
    {"dashboard.local:3000/x", {}},
    {"https://foo/bar", {}},
    // Addresses of this computer keep their scheme.
    {"http://localhost:3000/app", {u"http://localhost:3000/app"_s}},
    // A misread "www" is read as "www"; a digit is part of a host of its own.
    {"wwi.wikipedia.org/wiki/Lisbon", {u"http://www.wikipedia.org/wiki/Lisbon"_s}},
    {"ww.wikipedia.org", {u"http://www.wikipedia.org"_s}},
    {"vww.nytimes.com and wvvw.bbc.co.uk", {u"http://www.nytimes.com"_s, u"http://www.bbc.co.uk"_s}},
    {"WWl.Example.com", {u"http://www.example.com"_s}},
    {"https://wwi.wikipedia.org/wiki/Oslo", {u"https://www.wikipedia.org/wiki/Oslo"_s}},
    {"www1.example.com www2.example.com", {u"http://www1.example.com"_s, u"http://www2.example.com"_s}},
    {"ww.com vw.de", {u"http://ww.com"_s, u"http://vw.de"_s}},
    {"wiki.wikipedia.org", {u"http://wiki.wikipedia.org"_s}},
    // A host broken by a blank after its dot, when a public suffix follows.
    {"stackoverflow. com/questions/11227809/why-is-it-faster",
     {u"http://stackoverflow.com/questions/11227809/why-is-it-faster"_s}},
    {"https://stackoverflow. com/q/1", {u"https://stackoverflow.com/q/1"_s}},
    {"Source: github. com", {u"http://github.com"_s}},
    {"news.bbc. co.uk/sport", {u"http://news.bbc.co.uk/sport"_s}},
    // After a scheme, however often it is broken; without one, the tail of
    // a host broken twice is another site's name, so no link.
    {"https://calendar. example. org/event/1734", {u"https://calendar.example.org/event/1734"_s}},
    {"Join: https://calendar. example.org/event/1734.", {u"https://calendar.example.org/event/1734"_s}},
    {"calendar. example. org/event/1734", {}},
    {"Open it at meet. team. example. com/room", {}},
    {"calendar. example.org/event/1734", {}},
    {"Read the docs. python.org/3/ has more", {}},
    // A capital starts a sentence, "www." a host, and a letter and a dot
    // end an abbreviation.
    {"Read the docs. Python.org/3/ has more", {u"http://python.org/3/"_s}},
    {"Back at home. www.example.com", {u"http://www.example.com"_s}},
    {"e.g. www.example. com", {u"http://www.example.com"_s}},
    {"e.g. example.com/a", {u"http://example.com/a"_s}},
    {"https://status. example. com/incidents, then", {u"https://status.example.com/incidents"_s}},
    {"Go to https://example.com. it works", {u"https://example.com"_s}},
    {"Go to https://example.com. Then sign in", {u"https://example.com"_s}},
    // After a scheme, a label split by a blank is joined when the rest runs
    // on to a top-level domain; else the rest is no site of its own.
    {"https://foru m.quillandink.de/t/482", {u"https://forum.quillandink.de/t/482"_s}},
    {"Shop: https://www.copperkett le.com/cart.", {u"https://www.copperkettle.com/cart"_s}},
    {"https://foru M.quillandink.de/t/482", {}},
    // A top-level domain cut short is joined when the rest completes another
    // and a path follows, or a single letter ends the word; a word after an
    // address that completes none stays a word.
    {"https://shop.example.co m/cart", {u"https://shop.example.com/cart"_s}},
    {"See https://status.example.ne t/incidents.", {u"https://status.example.net/incidents"_s}},
    {"https://forum.example.de v:8080/t/1", {u"https://forum.example.dev:8080/t/1"_s}},
    {"Shop: shop.example.co m/cart", {u"http://shop.example.com/cart"_s}},
    {"https://shop.example.ne t", {u"https://shop.example.net"_s}},
    {"https://example.co is down", {u"https://example.co"_s}},
    {"https://example.com m/s and https://example.de a site", {u"https://example.com"_s, u"https://example.de"_s}},
    {"https://10.0.0.1 is down", {u"https://10.0.0.1"_s}},
    {"http://localhost example.com", {u"http://localhost"_s, u"http://example.com"_s}},
    {"https://example.com and docs.example.org", {u"https://example.com"_s, u"http://docs.example.org"_s}},
    // Text read before misread schemes were mended as they are read.
    {"@ hittps://shop.copperkettle.com/cart", {u"https://shop.copperkettle.com/cart"_s}},
    {"Nhitps:/docs.brightlane.io/guide", {u"https://docs.brightlane.io/guide"_s}},
    {"hxxps://evil.example.com/x steps:/usr/bin", {}},
    {"(hittps://shop.copperkettle.com/cart)", {u"https://shop.copperkettle.com/cart"_s}},
    // The padlock read as a slash before a scheme written whole.
    {"/https://blog.saltmarshkitchen.com/a", {u"https://blog.saltmarshkitchen.com/a"_s}},
    {"x/https://blog.saltmarshkitchen.com/a", {}},
    // ...and not where a sentence simply goes on.
    {"Bring snacks, drinks etc. in the car.", {}},
    {"Read the docs. It is all there.", {}},
    {"It ends here. Com later", {}},
    {"version 2. com", {}},
    {"hello.  com/x", {}},
    {"see readme. md", {}},
};
} // namespace

TEST(LinkDetector, ReadsRecognisedTextAsItsWriterMeantIt)
{
    for (const LinkCase& entry : recognisedTable) {
        const QString text = QString::fromUtf8(entry.text);
        EXPECT_EQ(linksIn(text), entry.expected) << "text: " << entry.text;
    }
}

TEST(LinkDetector, MendsOnlyAMisreadWebSchemeAndKeepsWhatStandsBeforeIt)
{
    // Terminal and configuration lines: their schemes are written whole, and
    // none of them is a web address.
    const QString written[] = {
        u"Endpoint: tcp://127.0.0.1:2375"_s,
        u"syslog target udp://logs.tidewatch.net:514"_s,
        u"$ wscat -c ws://localhost:8080/feed"_s,
        u"socket = \"wss://stream.harbourcast.tv/live\""_s,
        u"$ ffmpeg -f flv rtmp://live.harbourcast.tv/app/key &"_s,
        u"camera: (rtsp://192.168.4.31:554/stream1)"_s,
        u"relay smtp://mail.tidewatch.net:25 /var/spool/mail"_s,
        u"SMTP_URL='smtps://mail.tidewatch.net:465'"_s,
        u"mailbox imap://imap.tidewatch.net/INBOX"_s,
        u"$ slrn nntp://news.tidewatch.net/comp.lang.c NNTP://news.tidewatch.net"_s,
        u"$ curl tftp://boot.tidewatch.net/pxelinux.0"_s,
        u"$ redis-cli -u redis://cache.tidewatch.net:6379/0"_s,
        u"queue: \"amqp://queue.tidewatch.net:5672/jobs\""_s,
        u"broker: mqtt://broker.tidewatch.net:1883"_s,
        u"$ ldapsearch -H ldap://directory.tidewatch.net"_s,
        u"$ khelpcenter help:/usr/share/doc/bash &"_s,
        u"$ open hitp:/usr/share/doc"_s,
    };
    for (const QString& line : written) {
        for (const QString& word : line.split(u' '))
            EXPECT_EQ(LinkDetector::withSchemeMended(word).toStdString(), word.toStdString());
        EXPECT_EQ(linksIn(line), QStringList()) << line.toStdString();
    }

    // A misread "http" or "https" is mended, and the signs before it stay.
    const std::pair<QString, QString> misread[] = {
        {u"(hittps://shop.example.com/a)"_s, u"(https://shop.example.com/a)"_s},
        {u"\"hitps:/shop.example.com\""_s, u"\"https://shop.example.com\""_s},
        {u"'htps:i/docs.example.org/x'"_s, u"'https://docs.example.org/x'"_s},
        {u"nttps://docs.example.org"_s, u"https://docs.example.org"_s},
        {u"hitp://localhost:3000"_s, u"http://localhost:3000"_s},
        {u"Nhitps://docs.example.org"_s, u"https://docs.example.org"_s},
        {u"https:/docs.example.org"_s, u"https://docs.example.org"_s},
    };
    for (const auto& [read, mended] : misread)
        EXPECT_EQ(LinkDetector::withSchemeMended(read).toStdString(), mended.toStdString());
    for (const QString& whole : {u"/https://docs.example.org"_s, u"HTTP://EXAMPLE.COM"_s, u"[https://[::1]/]"_s})
        EXPECT_EQ(LinkDetector::withSchemeMended(whole).toStdString(), whole.toStdString());
}

TEST(LinkDetector, KnowsTopLevelDomainsFromThePublicSuffixList)
{
    const auto detector = LinkDetector::shared();
    ASSERT_NE(detector, nullptr);
    EXPECT_TRUE(detector->isTopLevelDomain(u"COM"));
    EXPECT_TRUE(detector->isTopLevelDomain(u"рф"));
    // Unknown names must not pass through the list's implicit "*" rule.
    EXPECT_FALSE(detector->isTopLevelDomain(u"png"));
    EXPECT_FALSE(detector->isTopLevelDomain(u"localhost"));
    EXPECT_FALSE(detector->isTopLevelDomain(u""));
    EXPECT_FALSE(detector->isTopLevelDomain(u"example"));
    EXPECT_FALSE(detector->isTopLevelDomain(u"co.uk"));
    EXPECT_TRUE(detector->isPublicSuffix(u"co.uk"));
    EXPECT_FALSE(detector->isPublicSuffix(u"bbc.co.uk"));
}

TEST(LinkDetector, ScansLongTextsWithManyLinks)
{
    QString text;
    for (int i = 0; i < 500; ++i)
        text += u"Item %1: see https://example.com/item/%1, or write to team%1@example.org.\n"_s.arg(i);
    const QStringList links = linksIn(text);
    ASSERT_EQ(links.size(), 1000);
    EXPECT_EQ(links[998], u"https://example.com/item/499"_s);
    EXPECT_EQ(links[999], u"mailto:team499@example.org"_s);
}
