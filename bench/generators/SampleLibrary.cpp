#include "generators/SampleLibrary.h"

#include "core/HeicWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QtConcurrent/QtConcurrentMap>

#include <array>
#include <cstring>
#include <memory>
#include <numeric>
#include <random>

using namespace Qt::StringLiterals;

namespace {
struct Theme
{
    QColor desktop, window, titleBar, sidebar, text, dimText, accent, panel, bubbleMine, bubbleTheirs;
};

const Theme kLight{QColor(0x3B, 0x5B, 0x8C), QColor(0xFF, 0xFF, 0xFF), QColor(0xEC, 0xEC, 0xEC),
                   QColor(0xF3, 0xF3, 0xF5), QColor(0x1D, 0x1D, 0x1F), QColor(0x6E, 0x6E, 0x73),
                   QColor(0x25, 0x63, 0xEB), QColor(0xF5, 0xF5, 0xF7), QColor(0x25, 0x63, 0xEB),
                   QColor(0xE5, 0xE5, 0xEA)};
const Theme kDark{QColor(0x1E, 0x1B, 0x2E), QColor(0x1E, 0x1E, 0x1E), QColor(0x2D, 0x2D, 0x2D),
                  QColor(0x25, 0x25, 0x26), QColor(0xEE, 0xEE, 0xEE), QColor(0x9A, 0x9A, 0xA0),
                  QColor(0x60, 0xA5, 0xFA), QColor(0x2A, 0x2A, 0x2E), QColor(0x3B, 0x82, 0xF6),
                  QColor(0x3A, 0x3A, 0x3C)};

constexpr std::array<QSize, 6> kScreenSizes{QSize(1280, 800),  QSize(1440, 900),  QSize(1680, 1050),
                                            QSize(1920, 1080), QSize(2560, 1600), QSize(2880, 1800)};

constexpr std::array kSentences{
    "The quarterly report is due on Friday afternoon.",
    "Please review the attached invoice before the payment date.",
    "Our meeting moved to Tuesday at half past ten.",
    "The build failed because a test timed out on the server.",
    "Remember to renew the domain before it expires next month.",
    "Shipping confirmation: your order left the warehouse today.",
    "The new design uses a darker sidebar and larger headings.",
    "Flight 482 to Lisbon boards at gate 12 at 7:45 PM.",
    "Your password was changed from a new device yesterday.",
    "Dinner reservation for four people on Saturday evening.",
    "The library search now ranks recent screenshots higher.",
    "Budget summary for March shows lower travel costs.",
    "Release notes describe three fixes and one new feature.",
    "The recipe needs two cups of flour and a pinch of salt.",
    "Server status is healthy and all checks are passing.",
    "Tickets for the concert go on sale at noon tomorrow.",
    "Draft the welcome email for new customers this week.",
    "The photo backup finished with no errors reported.",
    "Meeting notes: agree on scope, then split the work.",
    "Weather forecast: light rain in the morning, sunny later.",
};

constexpr std::array kUrls{"https://github.com/brindlework/issues/42",         "docs.python.org/3/library/json.html",
                           "https://news.example.com/articles/today?ref=home", "www.wikipedia.org",
                           "https://calendar.example.org/event/1734",          "stackoverflow.com/questions/11227809",
                           "http://intranet.example.net/wiki/Onboarding",      "shop.example.co.uk/orders/88421"};

constexpr std::array kSidebarItems{"Inbox",     "Drafts", "Projects", "Documents", "Downloads", "Archive",
                                   "Favorites", "Recent", "Shared",   "Settings",  "Notes",     "Photos"};

constexpr std::array kCodeLines{"fn main() {",
                                "    let total = items.iter().map(|i| i.price).sum();",
                                "    println!(\"Total: {}\", total);",
                                "}",
                                "def parse_invoice(path):",
                                "    with open(path) as handle:",
                                "        return json.load(handle)",
                                "const response = await fetch(url);",
                                "if (response.status !== 200) throw new Error(\"failed\");",
                                "SELECT id, name FROM customers WHERE active = 1;"};

constexpr std::array kSubfolders{"Work", "Receipts", "Projects/2025", "Chats", "Travel", "Design/Mockups"};

enum class Content { article, code, chat, receipt, terminal };

class Painter
{
public:
    Painter(QImage& image, const Theme& theme, double scale, std::mt19937& random)
        : m_painter(&image)
        , m_theme(theme)
        , m_scale(scale)
        , m_random(random)
    {
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
    }

    int px(double logical) const { return int(logical * m_scale + 0.5); }

    void text(const QString& line, QPoint at, double size, const QColor& color, bool bold = false, bool mono = false)
    {
        QFont font(mono ? u"DejaVu Sans Mono"_s : u"Inter"_s);
        font.setPixelSize(px(size));
        font.setBold(bold);
        m_painter.setFont(font);
        m_painter.setPen(color);
        m_painter.drawText(at, line);
        m_lines.append(line);
    }

    // Runs of text one after the other on a baseline, each in its colour,
    // kept as one line; returns its width.
    int runs(const std::vector<std::pair<QString, QColor>>& parts, QPoint at, const QFont& font)
    {
        m_painter.setFont(font);
        const QFontMetrics metrics(font);
        QString line;
        int x = at.x();
        for (const auto& [part, color] : parts) {
            m_painter.setPen(color);
            m_painter.drawText(QPoint(x, at.y()), part);
            x += metrics.horizontalAdvance(part);
            line += part;
        }
        m_lines.append(line);
        return x - at.x();
    }

    QFont font(const QString& family, double size, bool bold = false) const
    {
        QFont font(family);
        font.setPixelSize(std::max(1, px(size)));
        font.setBold(bold);
        return font;
    }

    QPainter& painter() { return m_painter; }

    void roundedRect(const QRect& rect, double radius, const QColor& color)
    {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(color);
        m_painter.drawRoundedRect(rect, px(radius), px(radius));
    }

    template <typename List>
    QString pick(const List& list)
    {
        std::uniform_int_distribution<size_t> index(0, list.size() - 1);
        return QString::fromUtf8(list[index(m_random)]);
    }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    const Theme& theme() const { return m_theme; }
    QStringList takeLines() { return std::move(m_lines); }

private:
    QPainter m_painter;
    const Theme& m_theme;
    double m_scale;
    std::mt19937& m_random;
    QStringList m_lines;
};

void drawArticle(Painter& p, QPoint origin, int lines)
{
    p.text(u"Weekly summary"_s, origin, 24, p.theme().text, true);
    int y = origin.y() + p.px(44);
    for (int i = 0; i < lines; ++i, y += p.px(28)) {
        const bool link = i == lines / 2;
        p.text(link ? p.pick(kUrls) : p.pick(kSentences), {origin.x(), y}, 16,
               link ? p.theme().accent : p.theme().text);
    }
}

void drawCode(Painter& p, QPoint origin, int lines, const QColor& color)
{
    int y = origin.y();
    p.text(u"// see "_s + p.pick(kUrls), {origin.x(), y}, 15, p.theme().dimText, false, true);
    for (int i = 0; i < lines; ++i) {
        y += p.px(24);
        p.text(p.pick(kCodeLines), {origin.x(), y}, 15, color, false, true);
    }
}

void drawChat(Painter& p, QRect area)
{
    int y = area.top();
    for (int i = 0; i < 5; ++i) {
        const bool mine = i % 2 == 1;
        const QString line = i == 3 ? u"Have a look: "_s + p.pick(kUrls) : p.pick(kSentences);
        const int width = std::min(area.width() * 3 / 4, p.px(9.0 * line.size() + 32));
        const QRect bubble(mine ? area.right() - width : area.left(), y, width, p.px(44));
        p.roundedRect(bubble, 18, mine ? p.theme().bubbleMine : p.theme().bubbleTheirs);
        p.text(line, {bubble.left() + p.px(16), bubble.top() + p.px(28)}, 15, mine ? Qt::white : p.theme().text);
        y += p.px(60);
    }
}

void drawReceipt(Painter& p, QPoint origin)
{
    const int number = p.between(1000, 9999);
    p.text(u"Invoice #%1"_s.arg(number), origin, 24, p.theme().text, true);
    int y = origin.y() + p.px(44);
    int cents = 0;
    for (const char* item : {"Design review", "Hosting (March)", "Support hours"}) {
        const int price = p.between(500, 9999);
        cents += price;
        p.text(u"%1    %2.%3"_s.arg(QString::fromUtf8(item)).arg(price / 100).arg(price % 100, 2, 10, QChar(u'0')),
               {origin.x(), y}, 16, p.theme().text);
        y += p.px(28);
    }
    p.text(u"Total %1.%2"_s.arg(cents / 100).arg(cents % 100, 2, 10, QChar(u'0')), {origin.x(), y + p.px(8)}, 18,
           p.theme().text, true);
    p.text(u"Pay online at "_s + p.pick(kUrls), {origin.x(), y + p.px(44)}, 15, p.theme().accent);
}

void drawTerminal(Painter& p, QRect area)
{
    p.roundedRect(area, 8, QColor(0x0C, 0x0C, 0x0C));
    const QPoint origin(area.left() + p.px(16), area.top() + p.px(28));
    p.text(u"$ make test"_s, origin, 15, QColor(0x4A, 0xDE, 0x80), false, true);
    p.text(u"error: build failed with exit code 2"_s, origin + QPoint(0, p.px(24)), 15, QColor(0xF8, 0x71, 0x71), false,
           true);
    drawCode(p, origin + QPoint(0, p.px(48)), 4, QColor(0xE5, 0xE5, 0xE5));
}

// The kind of screen each content is, as the labels name it.
QString kindOf(Content content)
{
    switch (content) {
    case Content::article:
        return u"document"_s;
    case Content::code:
        return u"code"_s;
    case Content::chat:
        return u"chat"_s;
    case Content::receipt:
        return u"invoice"_s;
    case Content::terminal:
        return u"terminal"_s;
    }
    return {};
}

// A window on the desktop: its frame and its title bar.
struct Window
{
    QRect frame;
    QRect titleBar;
};

Window drawWindowFrame(Painter& p, const QRect& screen)
{
    const QRect frame = screen.adjusted(p.px(40), p.px(40), -p.px(40), -p.px(40));
    p.roundedRect(frame, 10, p.theme().window);
    const QRect titleBar(frame.left(), frame.top(), frame.width(), p.px(36));
    p.roundedRect(titleBar, 10, p.theme().titleBar);
    return {frame, titleBar};
}

QStringList drawWindow(QImage& image, std::mt19937& random, bool dark, QString* kind)
{
    const Theme& theme = dark ? kDark : kLight;
    const double scale = image.width() / 1440.0;
    image.fill(theme.desktop);
    Painter p(image, theme, scale, random);

    const auto [window, titleBar] = drawWindowFrame(p, image.rect());
    p.text(p.pick(kSidebarItems) + u" — Notes"_s, {window.center().x() - p.px(60), titleBar.top() + p.px(24)}, 13,
           theme.text, true);

    const QRect sidebar(window.left(), titleBar.bottom(), p.px(220), window.bottom() - titleBar.bottom());
    p.roundedRect(sidebar, 0, theme.sidebar);
    for (int i = 0; i < 6; ++i)
        p.text(QString::fromUtf8(kSidebarItems[size_t(i * 2 + (dark ? 1 : 0))]),
               {sidebar.left() + p.px(20), sidebar.top() + p.px(36 + 30 * i)}, 14, theme.dimText);

    const QRect content(sidebar.right() + p.px(32), titleBar.bottom() + p.px(36),
                        window.right() - sidebar.right() - p.px(64), window.bottom() - titleBar.bottom() - p.px(72));
    const Content shown = Content(p.between(0, 4));
    *kind = kindOf(shown);
    switch (shown) {
    case Content::article:
        drawArticle(p, content.topLeft() + QPoint(0, p.px(20)), p.between(4, 8));
        break;
    case Content::code:
        p.roundedRect(content.adjusted(0, 0, 0, -content.height() / 3), 8, theme.panel);
        drawCode(p, content.topLeft() + QPoint(p.px(16), p.px(32)), p.between(5, 9), theme.text);
        break;
    case Content::chat:
        drawChat(p, content);
        break;
    case Content::receipt:
        drawReceipt(p, content.topLeft() + QPoint(0, p.px(20)));
        break;
    case Content::terminal:
        drawTerminal(p, content.adjusted(0, 0, 0, -content.height() / 3));
        break;
    }
    return p.takeLines();
}

constexpr std::array kNoteTitles{
    "Groceries",       "Trip to Lisbon",  "Book club",     "Garden plans",  "Tax documents",   "Recipes to try",
    "Gift ideas",      "Workout log",     "Reading list",  "Car service",   "Movie night",     "Birthday party",
    "Kitchen repairs", "Language course", "Podcast notes", "Budget review", "Wedding guests",  "Camping gear",
    "Job interview",   "Piano lessons",   "Team offsite",  "Bike repair",   "Quarterly goals", "Moving checklist",
    "Dentist",         "Holiday photos"};

// A notes window whose sidebar of note titles runs its whole height beside
// one column of notes, their lines at different spacings, so that every
// title falls between two lines of the note; code windows show a few lines
// of code above the note's comments. A person reads the title bar, the
// sidebar from top to bottom, then the note.
QStringList drawColumnsWindow(QImage& image, std::mt19937& random, bool dark)
{
    const Theme& theme = dark ? kDark : kLight;
    const double scale = image.width() / 1440.0;
    image.fill(theme.desktop);
    Painter p(image, theme, scale, random);
    const auto [window, titleBar] = drawWindowFrame(p, image.rect());
    const bool code = p.between(0, 2) == 0;
    p.text(code ? u"main.rs — Projects"_s : u"All notes — Notes"_s,
           {window.center().x() - p.px(60), titleBar.top() + p.px(24)}, 13, theme.text, true);

    const QRect sidebar(window.left(), titleBar.bottom(), p.px(240), window.bottom() - titleBar.bottom());
    p.roundedRect(sidebar, 0, theme.sidebar);
    const int first = p.between(0, int(kNoteTitles.size()) - 1);
    int y = sidebar.top() + p.px(40);
    for (size_t i = 0; y < sidebar.bottom() - p.px(16) && i < kNoteTitles.size(); ++i, y += p.px(31))
        p.text(QString::fromUtf8(kNoteTitles[(size_t(first) + i) % kNoteTitles.size()]), {sidebar.left() + p.px(20), y},
               14, theme.dimText);

    QStringList content;
    if (code) {
        std::vector<const char*> lines(kCodeLines.begin(), kCodeLines.end());
        std::shuffle(lines.begin(), lines.end(), random);
        for (const char* line : lines)
            content.append(QString::fromUtf8(line));
    }
    std::vector<const char*> notes(kSentences.begin(), kSentences.end());
    notes.insert(notes.end(), kUrls.begin(), kUrls.end());
    std::shuffle(notes.begin(), notes.end(), random);
    for (const char* note : notes)
        content.append(code ? u"// "_s + QString::fromUtf8(note) : QString::fromUtf8(note));
    const int left = sidebar.right() + p.px(36);
    y = titleBar.bottom() + p.px(44);
    for (qsizetype i = 0; i < content.size() && y < window.bottom() - p.px(20); ++i, y += p.px(code ? 24 : 27))
        p.text(content[i], {left, y}, code ? 15 : 16, theme.text, false, code);
    return p.takeLines();
}

constexpr std::array kHosts{"www.harbourgazette.com",    "news.northfieldtimes.co.uk", "www.citybikecoalition.org",
                            "docs.quietcoast.io",        "shop.greenleafmarket.com",   "forum.rivertownmakers.net",
                            "www.dailyledger-news.com",  "support.lumenstudio.app",    "www.eastbaytransit.gov",
                            "blog.saltmarshkitchen.com", "en.wikiatlas.org",           "www.westharbourcouncil.gov.uk"};
constexpr std::array kPathStarts{"/local/2025/10/", "/en-us/help/articles/", "/products/",    "/t/",
                                 "/2025/03/17/",    "/docs/guides/",         "/recipes/",     "/wiki/",
                                 "/news/politics/", "/community/threads/",   "/blog/2024/11/"};
constexpr std::array kSlugs{"harbour-road-bike-lane-pilot",
                            "reset-your-router-password",
                            "ceramic-pour-over-kettle",
                            "printer-driver-not-found-after-update",
                            "why-the-night-train-is-back",
                            "install-on-linux",
                            "weeknight-lentil-soup-with-lemon",
                            "Harbour_Road_Bridge",
                            "council-approves-new-ferry-timetable",
                            "how-to-export-photos-in-bulk",
                            "tide-tables"};
constexpr std::array kAddressEnds{"", "", "", "", "?ref=home", "#requirements", "?id=18423&lang=en", "/2"};
// Families whose letters differ: browsers and systems use all kinds.
constexpr std::array kFamilies{"Inter", "DejaVu Sans", "Nimbus Sans"};
constexpr std::array kLogicalScreens{QSize(1280, 800), QSize(1440, 900), QSize(1536, 864), QSize(1920, 1080)};

// The back, forward and reload buttons of a toolbar, as strokes.
void drawNavigationButtons(Painter& p, QPoint centre, const QColor& color)
{
    QPainter& painter = p.painter();
    painter.setPen(QPen(color, std::max(1, p.px(1.6)), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    for (const int direction : {-1, 1}) {
        const QPoint at = centre + QPoint(direction < 0 ? 0 : p.px(32), 0);
        painter.drawLine(at - QPoint(p.px(7), 0), at + QPoint(p.px(7), 0));
        const QPoint tip = at + QPoint(direction * p.px(7), 0);
        painter.drawLine(tip, tip + QPoint(-direction * p.px(6), -p.px(6)));
        painter.drawLine(tip, tip + QPoint(-direction * p.px(6), p.px(6)));
    }
    const QRect reload(centre.x() + p.px(56), centre.y() - p.px(7), p.px(14), p.px(14));
    painter.drawArc(reload, 60 * 16, 300 * 16);
}

// A padlock the height of a capital letter, its top at `top`.
void drawPadlock(Painter& p, QPoint topLeft, double height, const QColor& color)
{
    QPainter& painter = p.painter();
    const int width = p.px(height * 0.75);
    const int bodyTop = topLeft.y() + p.px(height * 0.42);
    painter.setPen(QPen(color, std::max(1, p.px(height / 7)), Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    const QRect shackle(topLeft.x() + width / 5, topLeft.y(), width * 3 / 5, p.px(height * 0.8));
    painter.drawArc(shackle, 0, 180 * 16);
    painter.drawLine(shackle.left(), shackle.center().y(), shackle.left(), bodyTop);
    painter.drawLine(shackle.right(), shackle.center().y(), shackle.right(), bodyTop);
    p.roundedRect(QRect(topLeft.x(), bodyTop, width, topLeft.y() + p.px(height) - bodyTop), height / 10, color);
}

QString sentenceOf(const QString& slug)
{
    QString words = slug;
    words.replace(u'-', u' ').replace(u'_', u' ');
    return words.left(1).toUpper() + words.mid(1);
}

// A window: either the whole screen or a frame on the desktop.
QRect browserFrame(Painter& p, const QImage& image)
{
    if (p.between(0, 2) == 0)
        return image.rect();
    const QRect frame = image.rect().adjusted(p.px(24), p.px(24), -p.px(24), -p.px(24));
    p.roundedRect(frame, 10, p.theme().window);
    return frame;
}

// `oneColour`: the whole bar in the host's colour, drawn as one text, as
// some browsers show it.
void drawBrowserWindow(SampleLibrary::Marked& marked, std::mt19937& random, bool dark, bool oneColour, double scale)
{
    const Theme& theme = dark ? kDark : kLight;
    QImage& image = marked.drawing.image;
    image.fill(theme.desktop);
    Painter p(image, theme, scale, random);
    const QString slug = p.pick(kSlugs);
    const QString address = u"https://"_s + p.pick(kHosts) + p.pick(kPathStarts) + slug + p.pick(kAddressEnds);
    const QString family = p.pick(kFamilies);

    const QRect frame = browserFrame(p, image);
    const QRect tabs(frame.left(), frame.top(), frame.width(), p.px(40));
    p.roundedRect(tabs, 0, theme.titleBar);
    const QRect tab(tabs.left() + p.px(84), tabs.top() + p.px(6), p.px(240), tabs.height() - p.px(6));
    p.roundedRect(tab, 8, theme.window);
    p.text(sentenceOf(slug).left(24), {tab.left() + p.px(16), tab.top() + p.px(22)}, 12, theme.text);
    p.text(u"New Tab"_s, {tab.right() + p.px(20), tab.top() + p.px(22)}, 12, theme.dimText);

    const QRect toolbar(frame.left(), tabs.bottom() + 1, frame.width(), p.px(46));
    p.roundedRect(toolbar, 0, theme.window);
    drawNavigationButtons(p, {toolbar.left() + p.px(22), toolbar.center().y()}, theme.dimText);
    const QRect field(toolbar.left() + p.px(116), toolbar.top() + p.px(7), toolbar.width() - p.px(196), p.px(32));
    p.roundedRect(field, p.between(0, 1) ? 16 : 8, theme.panel);
    const double size = p.between(13, 15);
    const QColor hostColor = dark ? QColor(0xF2, 0xF2, 0xF2) : QColor(0x1F, 0x1F, 0x22);
    const qsizetype hostEnd = address.indexOf(u'/', 8);
    const bool greyPath = p.between(0, 3) == 0;
    drawPadlock(p, {field.left() + p.px(14), field.center().y() - p.px(size * 0.4)}, size * 0.85,
                oneColour ? hostColor : theme.dimText);
    const QPoint textAt(field.left() + p.px(34), field.center().y() + p.px(size * 0.36));
    if (oneColour) {
        p.runs({{address, hostColor}}, textAt, p.font(family, size));
    } else {
        p.runs({{address.left(8), theme.dimText},
                {address.mid(8, hostEnd - 8), hostColor},
                {address.mid(hostEnd), greyPath ? theme.dimText : hostColor}},
               textAt, p.font(family, size));
    }
    p.painter().setPen(QPen(theme.dimText, std::max(1, p.px(1.4))));
    p.painter().drawEllipse(QPoint(toolbar.right() - p.px(40), toolbar.center().y()), p.px(11), p.px(11));

    const QRect page(frame.left(), toolbar.bottom() + 1, frame.width(), frame.bottom() - toolbar.bottom());
    p.roundedRect(page, 0, theme.window);
    const int left = page.left() + std::max(p.px(80), (page.width() - p.px(760)) / 2);
    p.text(sentenceOf(slug), {left, page.top() + p.px(72)}, 30, theme.text, true);
    int y = page.top() + p.px(124);
    for (int i = 0, lines = p.between(4, 7); i < lines && y < page.bottom() - p.px(24); ++i, y += p.px(30))
        p.text(p.pick(kSentences), {left, y}, 17, theme.text);
    marked.line = address;
    marked.drawing.lines = p.takeLines();
}

constexpr std::array kApps{"Lumen Studio", "Harbor Mail",   "Quillpad",     "Northwind Maps",
                           "Pixelforge",   "Cadence Audio", "Tally Sheets", "Driftwood"};
constexpr std::array kFiles{"Holiday reel.mov",  "Budget 2025.xlsx",  "Site plan v3.pdf",
                            "Interview mix.wav", "Harbour walk.heic", "Chapter 12.docx"};

struct DialogText
{
    const char* title;
    const char* body;
};
// %1 is the application, %2 a file.
constexpr std::array kDialogTexts{
    DialogText{"%1 quit unexpectedly", "%1 quit while exporting \u201C%2\u201D."},
    DialogText{"%1 is not responding", "%1 stopped responding while saving \u201C%2\u201D."},
    DialogText{"The document could not be saved", "%1 could not write \u201C%2\u201D to the disk Backup."},
    DialogText{"%1 cannot open this file", "The file \u201C%2\u201D is damaged or in a format %1 does not read."},
};

// The icon of a dialog, at `box`: the application's (a rounded square with
// a shape on it) or a warning sign.
void drawDialogIcon(Painter& p, const QRect& box)
{
    QPainter& painter = p.painter();
    if (p.between(0, 1) == 0) {
        QPainterPath triangle;
        triangle.moveTo(box.center().x(), box.top());
        triangle.lineTo(box.right(), box.bottom());
        triangle.lineTo(box.left(), box.bottom());
        triangle.closeSubpath();
        painter.fillPath(triangle, QColor(0xF5, 0xB7, 0x00));
        painter.setPen(QPen(QColor(0x20, 0x20, 0x20), std::max(2, box.width() / 10), Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(box.center().x(), box.top() + box.height() * 2 / 5, box.center().x(),
                         box.top() + box.height() * 7 / 10);
        painter.drawPoint(box.center().x(), box.top() + box.height() * 17 / 20);
        return;
    }
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, QColor::fromHsv(p.between(0, 359), 170, 240));
    fill.setColorAt(1, QColor::fromHsv(p.between(0, 359), 200, 160));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(box, box.width() / 4.5, box.width() / 4.5);
    painter.setBrush(Qt::white);
    painter.drawEllipse(box.adjusted(box.width() / 4, box.height() / 4, -box.width() / 4, -box.height() / 4));
}

// A window behind the dialog, as the dialog's application left it.
void drawWindowBehind(Painter& p, const QImage& image)
{
    const QRect behind = image.rect().adjusted(p.px(60), p.px(50), -p.px(60), -p.px(50));
    p.roundedRect(behind, 10, p.theme().window);
    p.roundedRect(QRect(behind.left(), behind.top(), behind.width(), p.px(36)), 10, p.theme().titleBar);
    for (int i = 0; i < 3; ++i)
        p.text(p.pick(kSentences), {behind.left() + p.px(40), behind.top() + p.px(90 + 30 * i)}, 15, p.theme().dimText);
}

void drawDialogWindow(SampleLibrary::Marked& marked, std::mt19937& random, bool dark, double scale)
{
    const Theme& theme = dark ? kDark : kLight;
    QImage& image = marked.drawing.image;
    image.fill(theme.desktop);
    Painter p(image, theme, scale, random);
    drawWindowBehind(p, image);
    const QString app = p.pick(kApps);
    const QString file = p.pick(kFiles);
    const DialogText& words = kDialogTexts[size_t(p.between(0, int(kDialogTexts.size()) - 1))];
    const auto filled = [&app, &file](const char* text) {
        return QString::fromUtf8(text).replace(u"%1"_s, app).replace(u"%2"_s, file);
    };
    const QString title = filled(words.title);
    const QString body = filled(words.body);
    const QString family = p.pick(kFamilies);
    const QFont titleFont = p.font(family, p.between(14, 17), true);
    const QFont bodyFont = p.font(family, p.between(12, 13));

    const int iconSide = p.px(p.between(48, 64));
    const int textIndent = p.px(24 + 18) + iconSide;
    const int width = std::max(p.px(p.between(440, 540)), textIndent + p.px(24) +
                                                              std::max(QFontMetrics(titleFont).horizontalAdvance(title),
                                                                       QFontMetrics(bodyFont).horizontalAdvance(body)));
    const QRect dialog(image.width() / 2 - width / 2, image.height() / 2 - p.px(110), width, p.px(220));
    const QColor face = dark ? QColor(0x2C, 0x2C, 0x2E) : QColor(0xF6, 0xF6, 0xF6);
    p.roundedRect(dialog.adjusted(-p.px(1), -p.px(1), p.px(1), p.px(1)), 13,
                  dark ? QColor(0x48, 0x48, 0x4C) : QColor(0xC8, 0xC8, 0xCC));
    p.roundedRect(dialog, 12, face);
    const QRect icon(dialog.left() + p.px(24), dialog.top() + p.px(24), iconSide, iconSide);
    drawDialogIcon(p, icon);

    const QColor ink = dark ? QColor(0xF5, 0xF5, 0xF5) : QColor(0x1D, 0x1D, 0x1F);
    const int textLeft = dialog.left() + textIndent;
    const int titleSize = titleFont.pixelSize();
    const int bodySize = bodyFont.pixelSize();
    // The title level with the icon's top, or with its middle.
    const int titleBaseline = icon.top() + titleSize + p.between(0, 1) * (iconSide / 2 - titleSize);
    p.runs({{title, ink}}, {textLeft, titleBaseline}, titleFont);
    p.runs({{body, ink}}, {textLeft, titleBaseline + bodySize + p.px(12)}, bodyFont);
    p.runs({{u"Click Reopen to open the application again."_s, theme.dimText}},
           {textLeft, titleBaseline + 2 * bodySize + p.px(22)}, bodyFont);

    int x = dialog.right() - p.px(20);
    const QStringList buttons{u"Ignore"_s, u"Report…"_s, u"Reopen"_s};
    for (qsizetype i = buttons.size() - 1; i >= 0; --i) {
        const int buttonWidth = p.px(28 + 7.5 * double(buttons[i].size()));
        const QRect button(x - buttonWidth, dialog.bottom() - p.px(48), buttonWidth, p.px(28));
        const bool isDefault = i == buttons.size() - 1;
        p.roundedRect(button, 6,
                      isDefault ? theme.accent : (dark ? QColor(0x4A, 0x4A, 0x4E) : QColor(0xE2, 0xE2, 0xE6)));
        p.runs({{buttons[i], isDefault ? QColor(Qt::white) : ink}}, {button.left() + p.px(14), button.top() + p.px(19)},
               p.font(family, 13));
        x = button.left() - p.px(10);
    }
    marked.line = title;
    marked.next = body;
    marked.drawing.lines = p.takeLines();
}

enum class Kind { png, heic, webp, recording };

Kind kindOf(int index, const SampleLibrary::Options& options)
{
    if (options.recordingEvery > 0 && index % options.recordingEvery == options.recordingEvery / 2)
        return Kind::recording;
    if (options.heicEvery > 0 && index % options.heicEvery == 3 % options.heicEvery)
        return Kind::heic;
    if (options.webpEvery > 0 && index % options.webpEvery == 11 % options.webpEvery)
        return Kind::webp;
    return Kind::png;
}

QDateTime takenAt(std::mt19937& random)
{
    const QDateTime start(QDate(2025, 1, 1), QTime(8, 0));
    return start.addSecs(std::uniform_int_distribution<qint64>(0, 365LL * 24 * 3600)(random));
}

QString relativeName(std::mt19937& random, const SampleLibrary::Options& options, Kind kind, int index,
                     const QDateTime& when)
{
    QString folder;
    if (options.subfolders > 0 && std::uniform_int_distribution<int>(0, 9)(random) < 3) {
        const int which =
            std::uniform_int_distribution<int>(0, std::min<int>(options.subfolders, kSubfolders.size()) - 1)(random);
        folder = QString::fromUtf8(kSubfolders[size_t(which)]) + u'/';
    }
    const QString stamp = when.toString(u"yyyy-MM-dd 'at' HH.mm.ss"_s);
    static const char* const extensions[] = {"png", "heic", "webp", "mov"};
    const QString prefix = kind == Kind::recording ? u"Screen Recording "_s : u"Screenshot "_s;
    return u"%1%2%3 (%4).%5"_s.arg(folder, prefix, stamp).arg(index).arg(QString::fromUtf8(extensions[int(kind)]));
}

bool saveImage(const QImage& image, const QString& path, Kind kind, QString* error)
{
    if (kind == Kind::heic)
        return HeicWriter::write(image, path, 80, error);
    if (image.save(path, kind == Kind::webp ? "WEBP" : "PNG", kind == Kind::webp ? 85 : -1))
        return true;
    *error = u"could not write "_s + path;
    return false;
}

} // namespace

SampleLibrary::Drawing SampleLibrary::draw(quint32 seed, int index, bool small)
{
    std::mt19937 random(seed * 7919u + quint32(index));
    const QSize size = small ? QSize(64, 40) : kScreenSizes[std::uniform_int_distribution<size_t>(0, 5)(random)];
    Drawing drawing{QImage(size, QImage::Format_RGB32), {}};
    if (small) {
        drawing.image.fill(QColor::fromHsv(int(random() % 360), 120, 200));
        return drawing;
    }
    const bool dark = std::uniform_int_distribution<int>(0, 1)(random) == 1;
    drawing.lines = drawWindow(drawing.image, random, dark, &drawing.kind);
    return drawing;
}

SampleLibrary::Drawing SampleLibrary::draw(quint32 seed, int index, QSize size, Appearance appearance)
{
    std::mt19937 random(seed * 7919u + quint32(index));
    // The same draws as above, so that the content matches the seed's.
    std::uniform_int_distribution<size_t>(0, 5)(random);
    std::uniform_int_distribution<int>(0, 1)(random);
    Drawing drawing{QImage(size, QImage::Format_RGB32), {}};
    drawing.lines = drawWindow(drawing.image, random, appearance == Appearance::dark, &drawing.kind);
    return drawing;
}

SampleLibrary::Drawing SampleLibrary::drawColumns(quint32 seed, int index, QSize size, Appearance appearance)
{
    std::mt19937 random(seed * 6007u + quint32(index));
    Drawing drawing{QImage(size, QImage::Format_RGB32), {}};
    drawing.lines = drawColumnsWindow(drawing.image, random, appearance == Appearance::dark);
    drawing.kind = drawing.lines.value(0).endsWith(u"Projects"_s) ? u"code"_s : u"document"_s;
    return drawing;
}

namespace {
// A screen of a logical size at a scale of 1 or 2.
QImage screenAtScale(std::mt19937& random, double* scale)
{
    *scale = std::uniform_int_distribution<int>(1, 2)(random);
    const QSize logical = kLogicalScreens[std::uniform_int_distribution<size_t>(0, kLogicalScreens.size() - 1)(random)];
    return QImage(logical * *scale, QImage::Format_RGB32);
}
} // namespace

SampleLibrary::Marked SampleLibrary::drawBrowser(quint32 seed, int index)
{
    std::mt19937 random(seed * 5303u + quint32(index));
    double scale = 1;
    Marked marked{{screenAtScale(random, &scale), {}, u"web page"_s}, {}};
    drawBrowserWindow(marked, random, index % 2 == 1, index % 3 == 2, scale);
    return marked;
}

SampleLibrary::Marked SampleLibrary::drawDialog(quint32 seed, int index)
{
    std::mt19937 random(seed * 4217u + quint32(index));
    double scale = 1;
    Marked marked{{screenAtScale(random, &scale), {}, u"error dialog"_s}, {}};
    drawDialogWindow(marked, random, index % 3 != 2, scale);
    return marked;
}

SampleLibrary::Options SampleLibrary::Options::screenshotsOnly(const QString& folder, int count, quint32 seed)
{
    Options options;
    options.folder = folder;
    options.count = count;
    options.seed = seed;
    options.recordingEvery = 0;
    options.heicEvery = 0;
    options.webpEvery = 0;
    options.duplicateShare = 0;
    options.subfolders = 0;
    return options;
}

SampleLibrary::Result SampleLibrary::write(const Options& options)
{
    QDir().mkpath(options.folder);
    // The count is of files in all: the byte-identical copies come out of it,
    // and at least one original is left to copy.
    const int duplicates =
        std::clamp(int(options.count * options.duplicateShare + 0.5), 0, std::max(0, options.count - 1));
    QList<int> indices(std::max(0, options.count - duplicates));
    std::iota(indices.begin(), indices.end(), 0);

    const auto writeOne = [&options](int index) {
        std::mt19937 random(options.seed * 104729u + quint32(index));
        const Kind kind = kindOf(index, options);
        const QDateTime when = takenAt(random);
        Entry entry{relativeName(random, options, kind, index, when), {}, false};
        const QString path = options.folder + u'/' + entry.relativePath;
        QDir().mkpath(QFileInfo(path).path());

        QString error;
        bool written = false;
        if (kind == Kind::recording) {
            written =
                writeRecording(path, options.small ? QSize(160, 100) : QSize(1280, 720), options.small ? 1 : 3, &error);
        } else {
            Drawing drawing = draw(options.seed, index, options.small);
            entry.lines = drawing.lines;
            written = saveImage(drawing.image, path, kind, &error);
        }
        if (written) {
            QFile file(path);
            if (file.open(QIODevice::ReadWrite))
                file.setFileTime(when, QFileDevice::FileModificationTime);
        }
        return std::make_pair(entry, written ? QString() : error);
    };

    Result result;
    for (const auto& [entry, error] : QtConcurrent::blockingMapped(indices, writeOne)) {
        if (error.isEmpty())
            result.entries.append(entry);
        else
            result.errors.append(error);
    }

    std::mt19937 random(options.seed);
    const int originals = int(result.entries.size());
    for (int i = 0; i < duplicates && originals > 0; ++i) {
        Entry copy = result.entries[std::uniform_int_distribution<int>(0, originals - 1)(random)];
        const QString source = options.folder + u'/' + copy.relativePath;
        const int dot = int(copy.relativePath.lastIndexOf(u'.'));
        copy.relativePath = copy.relativePath.left(dot) + u" copy %1"_s.arg(i) + copy.relativePath.mid(dot);
        copy.isDuplicate = true;
        if (QFile::copy(source, options.folder + u'/' + copy.relativePath))
            result.entries.append(copy);
        else
            result.errors.append(u"could not copy "_s + source);
    }
    return result;
}

QByteArray SampleLibrary::groundTruthJson(const Result& result)
{
    QJsonArray files;
    for (const Entry& entry : result.entries) {
        files.append(QJsonObject{{u"path"_s, entry.relativePath},
                                 {u"lines"_s, QJsonArray::fromStringList(entry.lines)},
                                 {u"duplicate"_s, entry.isDuplicate}});
    }
    return QJsonDocument(QJsonObject{{u"files"_s, files}}).toJson(QJsonDocument::Indented);
}

bool SampleLibrary::writeRecording(const QString& path, QSize size, double seconds, QString* error)
{
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s,
                 {u"-v"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                  u"testsrc2=size=%1x%2:rate=30:duration=%3"_s.arg(size.width()).arg(size.height()).arg(seconds),
                  u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, path});
    if (ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0)
        return true;
    if (error)
        *error = u"ffmpeg failed for "_s + path + u": "_s + QString::fromUtf8(ffmpeg.readAllStandardError()).trimmed();
    return false;
}
