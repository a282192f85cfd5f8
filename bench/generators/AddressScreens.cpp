#include "generators/AddressScreens.h"

#include <array>

using namespace Qt::StringLiterals;

namespace AddressScreens {
namespace {
struct Line
{
    const char16_t* text;
    const char16_t* written;
    const char16_t* link = nullptr;
};

constexpr std::array terminalLines{
    Line{u"$ docker -H tcp://127.0.0.1:2375 ps", u"tcp://127.0.0.1:2375"},
    Line{u"Endpoint: tcp://10.4.0.12:2376", u"tcp://10.4.0.12:2376"},
    Line{u"syslog target (udp://logs.tidewatch.net:514)", u"(udp://logs.tidewatch.net:514)"},
    Line{u"$ wscat -c ws://localhost:8080/feed", u"ws://localhost:8080/feed"},
    Line{u"socket \"wss://stream.harbourcast.tv/live\"", u"\"wss://stream.harbourcast.tv/live\""},
    Line{u"$ ffmpeg -i talk.mp4 -f flv rtmp://live.harbourcast.tv/app/key", u"rtmp://live.harbourcast.tv/app/key"},
    Line{u"$ vlc rtsp://192.168.4.31:554/front &", u"rtsp://192.168.4.31:554/front &"},
    Line{u"relay (smtp://mail.tidewatch.net:25)", u"(smtp://mail.tidewatch.net:25)"},
    Line{u"SMTP_URL='smtps://mail.tidewatch.net:465'", u"'smtps://mail.tidewatch.net:465'"},
    Line{u"mailbox imap://imap.tidewatch.net/INBOX", u"imap://imap.tidewatch.net/INBOX"},
    Line{u"$ slrn nntp://news.tidewatch.net/comp.lang.c", u"nntp://news.tidewatch.net/comp.lang.c"},
    Line{u"$ curl tftp://boot.tidewatch.net/pxelinux.0 /srv/boot", u"tftp://boot.tidewatch.net/pxelinux.0 /srv/boot"},
    Line{u"$ redis-cli -u redis://cache.tidewatch.net:6379/0", u"redis://cache.tidewatch.net:6379/0"},
    Line{u"$ mosquitto_sub -L mqtt://broker.tidewatch.net:1883/sensors", u"mqtt://broker.tidewatch.net:1883/sensors"},
    Line{u"$ ldapsearch -H ldap://directory.tidewatch.net", u"ldap://directory.tidewatch.net"},
    Line{u"$ khelpcenter help:/usr/share/doc/bash &", u"help:/usr/share/doc/bash &"},
    Line{u"$ xdg-open https://docs.brightlane.io/setup &", u"https://docs.brightlane.io/setup &",
         u"https://docs.brightlane.io/setup"},
    Line{u"$ git clone https://github.com/harbourlabs/tidewatch.git /home/mara/src/tidewatch",
         u"https://github.com/harbourlabs/tidewatch.git /home/mara/src/tidewatch",
         u"https://github.com/harbourlabs/tidewatch.git"},
    Line{u"Read the guide (https://northwind.io/guide/install) first", u"(https://northwind.io/guide/install)",
         u"https://northwind.io/guide/install"},
    Line{u"$ curl \"http://proxy.brightlane.io:3128/status\" /tmp/status",
         u"\"http://proxy.brightlane.io:3128/status\" /tmp/status", u"http://proxy.brightlane.io:3128/status"},
};

constexpr std::array configLines{
    Line{u"mailbox: 'imap://imap.tidewatch.net/INBOX'", u"'imap://imap.tidewatch.net/INBOX'"},
    Line{u"cache: \"redis://cache.tidewatch.net:6379/0\"", u"\"redis://cache.tidewatch.net:6379/0\""},
    Line{u"ldap_uri = 'ldap://directory.tidewatch.net'", u"'ldap://directory.tidewatch.net'"},
    Line{u"news = (nntp://news.tidewatch.net/comp.lang.c)", u"(nntp://news.tidewatch.net/comp.lang.c)"},
    Line{u"smtp_relay = (smtp://mail.tidewatch.net:25)", u"(smtp://mail.tidewatch.net:25)"},
    Line{u"ingest: rtmp://live.harbourcast.tv/app", u"rtmp://live.harbourcast.tv/app"},
    Line{u"camera: \"rtsp://192.168.4.31:554/front\"", u"\"rtsp://192.168.4.31:554/front\""},
    Line{u"listen: tcp://192.168.4.31:9000", u"tcp://192.168.4.31:9000"},
    Line{u"feed: wss://stream.harbourcast.tv/live", u"wss://stream.harbourcast.tv/live"},
    Line{u"outgoing: 'smtps://mail.tidewatch.net:465'", u"'smtps://mail.tidewatch.net:465'"},
    Line{u"homepage = \"https://tidewatch.net/about\"", u"\"https://tidewatch.net/about\"",
         u"https://tidewatch.net/about"},
    Line{u"docs: (https://docs.brightlane.io/setup)", u"(https://docs.brightlane.io/setup)",
         u"https://docs.brightlane.io/setup"},
    Line{u"mirror = 'http://mirror.northwind.io/debian'", u"'http://mirror.northwind.io/debian'",
         u"http://mirror.northwind.io/debian"},
};

constexpr std::array sizes{QSize(1280, 800), QSize(1440, 900), QSize(1920, 1080), QSize(2880, 1800)};
constexpr int linesPerScreen = 6;
} // namespace

Screen draw(int index)
{
    const bool isTerminal = index % 2 == 0;
    const auto pick = [index](const auto& pool, QStringList& lines, Screen& screen) {
        const int count = int(pool.size());
        for (int i = 0; i < linesPerScreen; ++i) {
            // Each screen starts further along the pool, so every line is
            // drawn at every size in turn.
            const Line& line = pool[size_t((index / 2 * linesPerScreen + i) % count)];
            lines.append(QString::fromUtf16(line.text));
            screen.written.append(QString::fromUtf16(line.written));
            if (line.link)
                screen.links.append(QString::fromUtf16(line.link));
        }
    };
    Screen screen;
    ScreenTypes::Screen content;
    if (isTerminal) {
        content = {u"terminal"_s, u"mara@harbour: ~/src"_s, {}, {}};
        pick(terminalLines, content.lines, screen);
    } else {
        content = {u"code"_s, u"settings.yaml — Editor"_s, u"settings.yaml services.toml .env"_s, {}};
        pick(configLines, content.lines, screen);
    }
    screen.drawing = ScreenTypes::draw(content, sizes[size_t(index / 2) % sizes.size()], quint32(index));
    return screen;
}

} // namespace AddressScreens
