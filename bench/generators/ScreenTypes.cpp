#include "generators/ScreenTypes.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <functional>
#include <map>
#include <random>

using namespace Qt::StringLiterals;

namespace ScreenTypes {
namespace {

struct Palette
{
    QColor desktop, window, bar, side, text, dim, accent, panel, line;
};

const Palette kLight{QColor(0x4A, 0x6A, 0x9C), QColor(0xFF, 0xFF, 0xFF), QColor(0xEC, 0xEC, 0xEE),
                     QColor(0xF4, 0xF4, 0xF6), QColor(0x1D, 0x1D, 0x1F), QColor(0x6E, 0x6E, 0x73),
                     QColor(0x25, 0x63, 0xEB), QColor(0xF5, 0xF5, 0xF7), QColor(0xD4, 0xD4, 0xD8)};
const Palette kDark{QColor(0x1E, 0x1B, 0x2E), QColor(0x1F, 0x1F, 0x22), QColor(0x2D, 0x2D, 0x30),
                    QColor(0x26, 0x26, 0x29), QColor(0xEE, 0xEE, 0xEE), QColor(0x9A, 0x9A, 0xA0),
                    QColor(0x60, 0xA5, 0xFA), QColor(0x2A, 0x2A, 0x2E), QColor(0x3F, 0x3F, 0x46)};

// Draws text and shapes at a scale, and keeps every text it drew.
class Canvas
{
public:
    Canvas(QImage& image, const Palette& palette, double scale, quint32 variant)
        : m_painter(&image)
        , m_palette(palette)
        , m_scale(scale)
        , m_random(variant)
    {
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
    }

    int px(double logical) const { return int(logical * m_scale + 0.5); }
    const Palette& palette() const { return m_palette; }
    QPainter& painter() { return m_painter; }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    QFont font(double size, bool bold = false, bool mono = false) const
    {
        QFont font(mono ? u"DejaVu Sans Mono"_s : u"Inter"_s);
        font.setPixelSize(std::max(1, px(size)));
        font.setBold(bold);
        return font;
    }

    // One line with its baseline at `at`; returns its width.
    int text(const QString& line, QPoint at, double size, const QColor& color, bool bold = false, bool mono = false)
    {
        if (line.isEmpty())
            return 0;
        const QFont f = font(size, bold, mono);
        m_painter.setFont(f);
        m_painter.setPen(color);
        m_painter.drawText(at, line);
        m_lines.append(line);
        return QFontMetrics(f).horizontalAdvance(line);
    }

    // Right-aligned at `right`.
    void textRight(const QString& line, QPoint right, double size, const QColor& color, bool bold = false)
    {
        const int width = QFontMetrics(font(size, bold)).horizontalAdvance(line);
        text(line, {right.x() - width, right.y()}, size, color, bold);
    }

    void textCentered(const QString& line, QPoint center, double size, const QColor& color, bool bold = false)
    {
        const int width = QFontMetrics(font(size, bold)).horizontalAdvance(line);
        text(line, {center.x() - width / 2, center.y()}, size, color, bold);
    }

    // Word-wrapped into `width`, `leading` logical pixels per line; returns
    // the baseline after the last line.
    int paragraph(const QString& body, QPoint at, int width, double size, double leading, const QColor& color,
                  bool bold = false)
    {
        const QFontMetrics metrics(font(size, bold));
        QString line;
        int y = at.y();
        for (const QString& word : body.split(u' ', Qt::SkipEmptyParts)) {
            const QString candidate = line.isEmpty() ? word : line + u' ' + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
                text(line, {at.x(), y}, size, color, bold);
                y += px(leading);
                line = word;
            } else {
                line = candidate;
            }
        }
        text(line, {at.x(), y}, size, color, bold);
        return y + px(leading);
    }

    void rect(const QRect& rect, double radius, const QColor& fill)
    {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(fill);
        if (radius > 0)
            m_painter.drawRoundedRect(rect, px(radius), px(radius));
        else
            m_painter.drawRect(rect);
    }

    void outline(const QRect& rect, double radius, const QColor& color)
    {
        m_painter.setPen(QPen(color, std::max(1, px(1))));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRoundedRect(rect, px(radius), px(radius));
    }

    void line(QPoint from, QPoint to, const QColor& color, double width = 1)
    {
        m_painter.setPen(QPen(color, std::max(1, px(width)), Qt::SolidLine, Qt::RoundCap));
        m_painter.drawLine(from, to);
    }

    QStringList takeLines() { return std::move(m_lines); }

private:
    QPainter m_painter;
    const Palette& m_palette;
    double m_scale;
    std::mt19937 m_random;
    QStringList m_lines;
};

QStringList cells(const QString& row)
{
    return row.split(u'\t');
}

// A desktop with one window and its title bar; returns the window's content.
QRect window(Canvas& c, const QImage& image, const QString& title)
{
    const Palette& p = c.palette();
    c.painter().fillRect(image.rect(), p.desktop);
    const QRect frame = image.rect().adjusted(c.px(36), c.px(36), -c.px(36), -c.px(36));
    c.rect(frame, 10, p.window);
    const QRect bar(frame.left(), frame.top(), frame.width(), c.px(38));
    c.rect(bar, 10, p.bar);
    for (int i = 0; i < 3; ++i) {
        const QColor dot[] = {QColor(0xFF, 0x5F, 0x57), QColor(0xFE, 0xBC, 0x2E), QColor(0x28, 0xC8, 0x40)};
        c.rect(QRect(bar.left() + c.px(14 + 20 * i), bar.top() + c.px(13), c.px(12), c.px(12)), 6, dot[i]);
    }
    c.textCentered(title, {bar.center().x(), bar.top() + c.px(25)}, 13, p.text, true);
    return QRect(frame.left(), bar.bottom(), frame.width(), frame.bottom() - bar.bottom());
}

void drawTerminal(Canvas& c, QRect area, const Screen& s)
{
    c.rect(area, 0, QColor(0x12, 0x12, 0x14));
    int y = area.top() + c.px(30);
    for (const QString& row : s.lines) {
        const bool prompt = row.startsWith(u'$');
        const bool error = row.contains(u"error"_s, Qt::CaseInsensitive) || row.startsWith(u"panic"_s);
        const QColor color = prompt  ? QColor(0x4A, 0xDE, 0x80)
                             : error ? QColor(0xF8, 0x71, 0x71)
                                     : QColor(0xE5, 0xE5, 0xE5);
        int x = area.left() + c.px(18);
        for (const QString& cell : cells(row)) {
            c.text(cell, {x, y}, 15, color, false, true);
            x += std::max(c.px(130), c.px(9.2 * double(cell.size() + 2)));
        }
        y += c.px(24);
    }
}

void drawCode(Canvas& c, QRect area, const Screen& s)
{
    const Palette& p = c.palette();
    const QRect tree(area.left(), area.top(), c.px(210), area.height());
    c.rect(tree, 0, p.side);
    c.text(u"EXPLORER"_s, {tree.left() + c.px(16), tree.top() + c.px(28)}, 11, p.dim, true);
    const QStringList files = s.subtitle.split(u' ', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < files.size(); ++i)
        c.text(files[i], {tree.left() + c.px(24), tree.top() + c.px(56 + 24 * double(i))}, 13, p.text);
    const QRect tab(tree.right(), area.top(), c.px(200), c.px(34));
    c.rect(tab, 0, p.panel);
    c.text(s.title.section(u' ', 0, 0), {tab.left() + c.px(14), tab.top() + c.px(22)}, 13, p.text);
    int y = tab.bottom() + c.px(30);
    const QColor keyword = p.window.lightness() > 128 ? QColor(0xAF, 0x00, 0xDB) : QColor(0xC5, 0x86, 0xC0);
    for (qsizetype i = 0; i < s.lines.size(); ++i, y += c.px(23)) {
        c.text(QString::number(i + 1), {tree.right() + c.px(14), y}, 14, p.dim, false, true);
        const QString& row = s.lines[i];
        const bool isKeywordLine = row.trimmed().startsWith(u"def "_s) || row.trimmed().startsWith(u"func "_s) ||
                                   row.trimmed().startsWith(u"export "_s) || row.trimmed().startsWith(u"class "_s);
        c.text(row, {tree.right() + c.px(56), y}, 14, isKeywordLine ? keyword : p.text, false, true);
    }
}

void drawChat(Canvas& c, QRect area, const Screen& s)
{
    const Palette& p = c.palette();
    const QRect list(area.left(), area.top(), c.px(240), area.height());
    c.rect(list, 0, p.side);
    c.text(s.title, {list.left() + c.px(18), list.top() + c.px(34)}, 15, p.text, true);
    c.text(s.subtitle, {list.left() + c.px(18), list.top() + c.px(56)}, 12, p.dim);
    const QRect header(list.right(), area.top(), area.right() - list.right(), c.px(54));
    c.rect(header, 0, p.panel);
    c.text(s.title, {header.left() + c.px(20), header.top() + c.px(34)}, 16, p.text, true);
    int y = header.bottom() + c.px(24);
    const int maxWidth = (area.right() - list.right()) * 3 / 5;
    for (const QString& row : s.lines) {
        const QStringList parts = cells(row);
        const bool mine = parts.first() == u"Me"_s;
        const QString message = parts.value(1);
        const QFontMetrics metrics(c.font(15));
        const int width = std::min(maxWidth, metrics.horizontalAdvance(message) + c.px(36));
        const int lines = (metrics.horizontalAdvance(message) + c.px(36)) / maxWidth + 1;
        if (!mine) {
            c.text(parts.first(), {list.right() + c.px(24), y}, 11, p.dim, true);
            y += c.px(8);
        }
        const QRect bubble(mine ? area.right() - c.px(24) - width : list.right() + c.px(20), y, width,
                           c.px(22.0 * lines + 20));
        c.rect(bubble, 16,
               mine ? QColor(0x25, 0x63, 0xEB)
                    : (p.window.lightness() > 128 ? QColor(0xE5, 0xE5, 0xEA) : QColor(0x3A, 0x3A, 0x3C)));
        c.paragraph(message, {bubble.left() + c.px(16), bubble.top() + c.px(26)}, width - c.px(32), 15, 22,
                    mine ? QColor(Qt::white) : p.text);
        y = bubble.bottom() + c.px(22);
    }
    const QRect input(list.right() + c.px(20), area.bottom() - c.px(56), area.right() - list.right() - c.px(40),
                      c.px(38));
    c.outline(input, 18, p.line);
    c.text(u"Message"_s, {input.left() + c.px(18), input.top() + c.px(25)}, 14, p.dim);
}

void drawEmail(Canvas& c, QRect area, const Screen& s)
{
    const Palette& p = c.palette();
    const QRect folders(area.left(), area.top(), c.px(170), area.height());
    c.rect(folders, 0, p.side);
    int y = folders.top() + c.px(34);
    for (const QString& folder : {u"Inbox"_s, u"Starred"_s, u"Sent"_s, u"Drafts"_s, u"Spam"_s}) {
        c.text(folder, {folders.left() + c.px(20), y}, 14, p.text);
        y += c.px(28);
    }
    const QRect body(folders.right() + c.px(36), area.top() + c.px(28), area.right() - folders.right() - c.px(72),
                     area.height());
    y = c.paragraph(s.title, {body.left(), body.top() + c.px(18)}, body.width(), 22, 30, p.text, true);
    c.text(u"From: "_s + s.subtitle, {body.left(), y + c.px(4)}, 14, p.dim);
    c.text(u"To: me"_s, {body.left(), y + c.px(26)}, 14, p.dim);
    c.line({body.left(), y + c.px(44)}, {body.right(), y + c.px(44)}, p.line);
    y += c.px(80);
    for (const QString& row : s.lines)
        y = c.paragraph(row, {body.left(), y}, body.width(), 15, 24, p.text) + c.px(8);
    const int buttons = std::min(area.bottom() - c.px(60), y + c.px(16));
    for (int i = 0; i < 2; ++i) {
        const QRect button(body.left() + c.px(110 * i), buttons, c.px(96), c.px(34));
        c.outline(button, 8, p.line);
        c.textCentered(i == 0 ? u"Reply"_s : u"Forward"_s, {button.center().x(), button.top() + c.px(23)}, 13, p.text);
    }
}

void drawReceipt(Canvas& c, const QImage& image, const Screen& s)
{
    c.painter().fillRect(image.rect(), QColor(0xD8, 0xD8, 0xDC));
    const int width = c.px(420);
    const QRect paper(image.width() / 2 - width / 2, c.px(40), width, image.height() - c.px(80));
    c.rect(paper, 2, QColor(0xFF, 0xFF, 0xFB));
    const QColor ink(0x22, 0x22, 0x22);
    c.textCentered(s.title, {paper.center().x(), paper.top() + c.px(48)}, 20, ink, true);
    c.textCentered(s.subtitle, {paper.center().x(), paper.top() + c.px(74)}, 13, ink);
    int y = paper.top() + c.px(116);
    for (const QString& row : s.lines) {
        const QStringList parts = cells(row);
        const bool total = parts.first().startsWith(u"TOTAL"_s, Qt::CaseInsensitive);
        if (total)
            c.line({paper.left() + c.px(24), y - c.px(20)}, {paper.right() - c.px(24), y - c.px(20)}, ink);
        c.text(parts.first(), {paper.left() + c.px(28), y}, total ? 16 : 14, ink, total, true);
        if (parts.size() > 1)
            c.textRight(parts.last(), {paper.right() - c.px(28), y}, total ? 16 : 14, ink, total);
        y += c.px(total ? 32 : 26);
    }
}

void drawInvoice(Canvas& c, const QImage& image, const Screen& s)
{
    c.painter().fillRect(image.rect(), QColor(0x52, 0x56, 0x5E));
    const int width = std::min(image.width() - c.px(80), c.px(860));
    const QRect page(image.width() / 2 - width / 2, c.px(30), width, image.height() - c.px(30));
    c.rect(page, 0, Qt::white);
    const QColor ink(0x1F, 0x29, 0x37);
    const QColor grey(0x6B, 0x72, 0x80);
    c.text(s.subtitle, {page.left() + c.px(56), page.top() + c.px(64)}, 18, ink, true);
    c.textRight(u"INVOICE"_s, {page.right() - c.px(56), page.top() + c.px(66)}, 30, QColor(0x25, 0x63, 0xEB), true);
    int y = page.top() + c.px(112);
    int row = 0;
    for (; row < s.lines.size() && !s.lines[row].contains(u'\t'); ++row, y += c.px(24))
        c.text(s.lines[row], {page.left() + c.px(56), y}, 14, row == 0 ? ink : grey, row == 0);
    y += c.px(20);
    const int columns[] = {page.left() + c.px(56), page.right() - c.px(330), page.right() - c.px(200),
                           page.right() - c.px(56)};
    c.rect(QRect(page.left() + c.px(48), y - c.px(22), page.width() - c.px(96), c.px(32)), 0, QColor(0xF3, 0xF4, 0xF6));
    c.text(u"Description"_s, {columns[0], y}, 13, grey, true);
    c.text(u"Qty"_s, {columns[1], y}, 13, grey, true);
    c.text(u"Price"_s, {columns[2], y}, 13, grey, true);
    c.textRight(u"Amount"_s, {columns[3], y}, 13, grey, true);
    y += c.px(38);
    for (; row < s.lines.size(); ++row, y += c.px(30)) {
        const QStringList parts = cells(s.lines[row]);
        const bool total = parts.first().startsWith(u"Total"_s);
        c.text(parts.first(), {columns[0], y}, 14, ink, total);
        if (parts.size() == 4) {
            c.text(parts[1], {columns[1], y}, 14, ink);
            c.text(parts[2], {columns[2], y}, 14, ink);
        }
        c.textRight(parts.last(), {columns[3], y}, 14, ink, total);
    }
}

void drawCalendar(Canvas& c, QRect area, const Screen& s)
{
    const Palette& p = c.palette();
    c.text(s.title, {area.left() + c.px(28), area.top() + c.px(44)}, 24, p.text, true);
    const QString days[] = {u"Mon"_s, u"Tue"_s, u"Wed"_s, u"Thu"_s, u"Fri"_s, u"Sat"_s, u"Sun"_s};
    const QRect grid(area.left() + c.px(20), area.top() + c.px(90), area.width() - c.px(40), area.height() - c.px(110));
    const int cellWidth = grid.width() / 7;
    const int cellHeight = grid.height() / 5;
    for (int d = 0; d < 7; ++d)
        c.text(days[d], {grid.left() + d * cellWidth + c.px(8), grid.top() - c.px(10)}, 12, p.dim, true);
    std::map<int, QString> events;
    for (const QString& row : s.lines)
        events[cells(row).first().toInt()] = cells(row).value(1);
    for (int cell = 0; cell < 35; ++cell) {
        const QRect box(grid.left() + (cell % 7) * cellWidth, grid.top() + (cell / 7) * cellHeight, cellWidth,
                        cellHeight);
        c.outline(box, 0, p.line);
        const int day = cell + 1;
        if (day > 31)
            continue;
        c.text(QString::number(day), {box.left() + c.px(8), box.top() + c.px(20)}, 12, p.dim);
        if (const auto event = events.find(day); event != events.end()) {
            c.rect(box.adjusted(c.px(4), c.px(28), -c.px(4), -c.px(4)), 4, QColor(0x25, 0x63, 0xEB, 60));
            c.paragraph(event->second, {box.left() + c.px(8), box.top() + c.px(44)}, cellWidth - c.px(16), 11.5, 15,
                        p.text, true);
        }
    }
}

void drawMap(Canvas& c, const QImage& image, const Screen& s)
{
    c.painter().fillRect(image.rect(), QColor(0xF2, 0xEF, 0xE9));
    QPainter& painter = c.painter();
    std::mt19937 shapes(quint32(s.title.size() * 7919 + s.lines.size()));
    const auto coordinate = [&](int limit) { return std::uniform_int_distribution<int>(0, limit)(shapes); };
    for (int i = 0; i < 6; ++i)
        c.rect(QRect(coordinate(image.width()), coordinate(image.height()), c.px(180), c.px(120)), 30,
               QColor(0xC8, 0xE6, 0xC0));
    QPainterPath river;
    river.moveTo(0, image.height() * 0.7);
    river.cubicTo(image.width() * 0.3, image.height() * 0.5, image.width() * 0.6, image.height() * 0.95, image.width(),
                  image.height() * 0.8);
    painter.setPen(QPen(QColor(0xAA, 0xD3, 0xF2), c.px(40)));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(river);
    for (int i = 0; i < 9; ++i) {
        const QPoint from(coordinate(image.width()), coordinate(image.height()));
        const QPoint to(coordinate(image.width()), coordinate(image.height()));
        c.line(from, to, Qt::white, 9);
    }
    const QPolygon route{QPoint(image.width() * 45 / 100, image.height() * 30 / 100),
                         QPoint(image.width() * 60 / 100, image.height() * 40 / 100),
                         QPoint(image.width() * 70 / 100, image.height() * 62 / 100)};
    painter.setPen(QPen(QColor(0x1A, 0x73, 0xE8), c.px(6), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(route);
    // Place names in the map, then the route card over it.
    const QStringList places = s.subtitle.split(u',', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < places.size(); ++i) {
        const QPoint at(c.px(460) + int(i % 3) * (image.width() - c.px(520)) / 3,
                        c.px(140) + int(i / 3) * c.px(170) + int(i % 2) * c.px(60));
        c.text(places[i].trimmed(), at, 15, QColor(0x3C, 0x40, 0x43), true);
    }
    const QRect card(c.px(24), c.px(24), c.px(380), image.height() - c.px(48));
    c.rect(card, 12, Qt::white);
    int y = c.paragraph(s.title, {card.left() + c.px(20), card.top() + c.px(42)}, card.width() - c.px(40), 18, 26,
                        QColor(0x20, 0x21, 0x24), true);
    for (const QString& row : s.lines)
        y = c.paragraph(row, {card.left() + c.px(20), y + c.px(10)}, card.width() - c.px(40), 14, 22,
                        QColor(0x3C, 0x40, 0x43));
}

void drawSpreadsheet(Canvas& c, QRect area, const Screen& s)
{
    const Palette& p = c.palette();
    const QRect formula(area.left(), area.top(), area.width(), c.px(34));
    c.rect(formula, 0, p.panel);
    c.text(u"fx"_s, {formula.left() + c.px(16), formula.top() + c.px(23)}, 13, p.dim, true);
    c.text(s.subtitle, {formula.left() + c.px(56), formula.top() + c.px(23)}, 13, p.text, false, true);
    const int rowHeight = c.px(30);
    const int top = formula.bottom() + rowHeight;
    const int left = area.left() + c.px(44);
    const int columnWidth = std::max(c.px(120), (area.right() - left) / 6);
    for (int column = 0; column < 6; ++column) {
        c.rect(QRect(left + column * columnWidth, formula.bottom(), columnWidth, rowHeight), 0, p.side);
        c.textCentered(QString(QChar(u'A' + column)),
                       {left + column * columnWidth + columnWidth / 2, formula.bottom() + c.px(20)}, 12, p.dim);
    }
    for (int row = 0; (row + 1) * rowHeight + top <= area.bottom(); ++row) {
        const int y = top + row * rowHeight;
        c.line({area.left(), y + rowHeight}, {area.right(), y + rowHeight}, p.line);
        c.textCentered(QString::number(row + 1), {area.left() + c.px(22), y + c.px(20)}, 12, p.dim);
        if (row >= s.lines.size())
            continue;
        const QStringList parts = cells(s.lines[row]);
        for (qsizetype column = 0; column < parts.size() && column < 6; ++column)
            c.text(parts[column], {left + int(column) * columnWidth + c.px(8), y + c.px(20)}, 13, p.text, row == 0);
    }
    for (int column = 0; column <= 6; ++column)
        c.line({left + column * columnWidth, formula.bottom()}, {left + column * columnWidth, area.bottom()}, p.line);
}

void drawDocument(Canvas& c, const QImage& image, const Screen& s)
{
    const Palette& p = c.palette();
    c.painter().fillRect(image.rect(), p.side);
    const QRect toolbar(0, 0, image.width(), c.px(56));
    c.rect(toolbar, 0, p.bar);
    c.text(s.subtitle, {c.px(24), c.px(35)}, 14, p.text, true);
    const int width = std::min(image.width() - c.px(120), c.px(780));
    const QRect page(image.width() / 2 - width / 2, toolbar.bottom() + c.px(28), width, image.height());
    c.rect(page, 0, Qt::white);
    const QColor ink(0x11, 0x11, 0x11);
    int y = c.paragraph(s.title, {page.left() + c.px(64), page.top() + c.px(72)}, page.width() - c.px(128), 24, 32, ink,
                        true);
    for (const QString& row : s.lines)
        y = c.paragraph(row, {page.left() + c.px(64), y + c.px(14)}, page.width() - c.px(128), 15, 24, ink);
}

void drawWebPage(Canvas& c, QRect area, const Screen& s)
{
    const Palette& p = c.palette();
    const QRect address(area.left() + c.px(120), area.top() + c.px(8), area.width() - c.px(240), c.px(30));
    c.rect(address, 15, p.panel);
    c.text(s.subtitle, {address.left() + c.px(18), address.top() + c.px(21)}, 13, p.dim);
    const QRect nav(area.left(), address.bottom() + c.px(8), area.width(), c.px(56));
    c.rect(nav, 0, p.accent);
    const QString site = s.subtitle.section(u'/', 0, 0).remove(u"www."_s).section(u'.', 0, 0);
    c.text(site.left(1).toUpper() + site.mid(1), {nav.left() + c.px(32), nav.top() + c.px(36)}, 20, Qt::white, true);
    int x = nav.right() - c.px(360);
    for (const QString& item : {u"Home"_s, u"About"_s, u"Help"_s, u"Search"_s}) {
        c.text(item, {x, nav.top() + c.px(35)}, 14, Qt::white);
        x += c.px(84);
    }
    const int left = area.left() + c.px(80);
    const int width = std::min(area.width() - c.px(160), c.px(900));
    int y = c.paragraph(s.title, {left, nav.bottom() + c.px(64)}, width, 30, 40, p.text, true);
    for (const QString& row : s.lines)
        y = c.paragraph(row, {left, y + c.px(14)}, width, 16, 26, p.text);
    c.text(u"Privacy · Terms · Cookies"_s, {left, area.bottom() - c.px(24)}, 12, p.dim);
}

void drawErrorDialog(Canvas& c, const QImage& image, const Screen& s)
{
    const Palette& p = c.palette();
    c.painter().fillRect(image.rect(), p.desktop);
    const QRect behind = image.rect().adjusted(c.px(80), c.px(60), -c.px(80), -c.px(60));
    c.rect(behind, 10, p.window.darker(p.window.lightness() > 128 ? 115 : 80));
    const int width = c.px(520);
    const QRect dialog(image.width() / 2 - width / 2, image.height() / 2 - c.px(160), width, c.px(300));
    c.rect(dialog.adjusted(-c.px(2), -c.px(2), c.px(2), c.px(2)), 14, p.line);
    c.rect(dialog, 12, p.window);
    const QRect icon(dialog.left() + c.px(28), dialog.top() + c.px(28), c.px(44), c.px(44));
    c.rect(icon, 22, QColor(0xEF, 0x44, 0x44));
    c.textCentered(u"!"_s, {icon.center().x(), icon.top() + c.px(33)}, 26, Qt::white, true);
    int y = c.paragraph(s.title, {icon.right() + c.px(20), dialog.top() + c.px(50)}, width - c.px(120), 17, 24, p.text,
                        true);
    for (const QString& row : s.lines.mid(0, s.lines.size() - 1))
        y = c.paragraph(row, {icon.right() + c.px(20), y + c.px(6)}, width - c.px(120), 13.5, 20, p.text);
    const QStringList buttons = cells(s.lines.value(s.lines.size() - 1));
    int x = dialog.right() - c.px(24);
    for (qsizetype i = buttons.size() - 1; i >= 0; --i) {
        const int buttonWidth = c.px(24 + 8.0 * buttons[i].size());
        const QRect button(x - buttonWidth, dialog.bottom() - c.px(54), buttonWidth, c.px(32));
        c.rect(button, 8, i == buttons.size() - 1 ? p.accent : p.panel);
        c.textCentered(buttons[i], {button.center().x(), button.top() + c.px(21)}, 13,
                       i == buttons.size() - 1 ? QColor(Qt::white) : p.text);
        x = button.left() - c.px(10);
    }
}

void drawSettings(Canvas& c, QRect area, const Screen& s)
{
    const Palette& p = c.palette();
    const QRect side(area.left(), area.top(), c.px(230), area.height());
    c.rect(side, 0, p.side);
    int y = side.top() + c.px(36);
    for (const QString& section : s.subtitle.split(u',', Qt::SkipEmptyParts)) {
        const bool current = section.trimmed() == s.title;
        if (current)
            c.rect(QRect(side.left() + c.px(10), y - c.px(20), side.width() - c.px(20), c.px(30)), 6, p.accent);
        c.text(section.trimmed(), {side.left() + c.px(24), y}, 14, current ? QColor(Qt::white) : p.text);
        y += c.px(34);
    }
    const int left = side.right() + c.px(40);
    const int right = area.right() - c.px(40);
    c.text(s.title, {left, area.top() + c.px(50)}, 24, p.text, true);
    y = area.top() + c.px(100);
    for (const QString& row : s.lines) {
        const QStringList parts = cells(row);
        const QRect box(left - c.px(16), y - c.px(26), right - left + c.px(32), c.px(44));
        c.rect(box, 8, p.panel);
        c.text(parts.first(), {left, y}, 14, p.text);
        if (parts.size() > 1) {
            const QString value = parts.last();
            if (value == u"On"_s || value == u"Off"_s) {
                const bool on = value == u"On"_s;
                const QRect toggle(right - c.px(44), y - c.px(17), c.px(40), c.px(22));
                c.rect(toggle, 11, on ? QColor(0x22, 0xC5, 0x5E) : p.line);
                c.rect(QRect(on ? toggle.right() - c.px(20) : toggle.left() + c.px(2), toggle.top() + c.px(2), c.px(18),
                             c.px(18)),
                       9, Qt::white);
            } else {
                c.textRight(value, {right, y}, 14, p.dim);
            }
        }
        y += c.px(52);
    }
}

void drawLogin(Canvas& c, const QImage& image, const Screen& s)
{
    const Palette& p = c.palette();
    c.painter().fillRect(image.rect(), p.side);
    const int width = c.px(420);
    const QRect card(image.width() / 2 - width / 2, image.height() / 2 - c.px(250), width, c.px(500));
    c.rect(card, 16, p.window);
    c.rect(QRect(card.center().x() - c.px(26), card.top() + c.px(30), c.px(52), c.px(52)), 14, p.accent);
    c.paragraph(s.title, {card.left() + c.px(40), card.top() + c.px(120)}, width - c.px(80), 22, 30, p.text, true);
    int y = card.top() + c.px(180);
    for (const QString& row : s.lines) {
        const QStringList parts = cells(row);
        if (parts.size() > 1) {
            c.text(parts.first(), {card.left() + c.px(40), y}, 13, p.dim, true);
            const QRect field(card.left() + c.px(40), y + c.px(10), width - c.px(80), c.px(38));
            c.outline(field, 8, p.line);
            c.text(parts.last(), {field.left() + c.px(14), field.top() + c.px(25)}, 14, p.text);
            y += c.px(76);
        } else if (row.startsWith(u'[')) {
            const QRect button(card.left() + c.px(40), y - c.px(8), width - c.px(80), c.px(42));
            c.rect(button, 8, p.accent);
            c.textCentered(row.mid(1, row.size() - 2), {button.center().x(), button.top() + c.px(27)}, 15, Qt::white,
                           true);
            y += c.px(62);
        } else {
            c.text(row, {card.left() + c.px(40), y + c.px(6)}, 13, p.accent);
            y += c.px(32);
        }
    }
    c.textCentered(s.subtitle, {image.width() / 2, card.bottom() + c.px(36)}, 13, p.dim);
}

void drawTravelBooking(Canvas& c, QRect area, const Screen& s)
{
    const Palette& p = c.palette();
    const QRect banner(area.left(), area.top(), area.width(), c.px(64));
    c.rect(banner, 0, QColor(0x0B, 0x3D, 0x91));
    c.text(s.subtitle, {banner.left() + c.px(32), banner.top() + c.px(41)}, 20, Qt::white, true);
    const int width = std::min(area.width() - c.px(120), c.px(760));
    const QRect card(area.center().x() - width / 2, banner.bottom() + c.px(40), width,
                     c.px(120 + 34.0 * s.lines.size()));
    c.rect(card, 14, p.panel);
    c.paragraph(s.title, {card.left() + c.px(32), card.top() + c.px(52)}, width - c.px(64), 24, 32, p.text, true);
    int y = card.top() + c.px(110);
    for (const QString& row : s.lines) {
        const QStringList parts = cells(row);
        c.text(parts.first(), {card.left() + c.px(32), y}, 14, parts.size() > 1 ? p.dim : p.text, parts.size() == 1);
        if (parts.size() > 1)
            c.text(parts.last(), {card.left() + c.px(240), y}, 15, p.text, true);
        y += c.px(34);
    }
}

using WindowDrawer = std::function<void(Canvas&, QRect, const Screen&)>;
using FullDrawer = std::function<void(Canvas&, const QImage&, const Screen&)>;

} // namespace

const QStringList& kinds()
{
    static const QStringList all{u"code"_s,        u"terminal"_s, u"chat"_s,          u"email"_s,
                                 u"receipt"_s,     u"invoice"_s,  u"calendar"_s,      u"map"_s,
                                 u"spreadsheet"_s, u"document"_s, u"web page"_s,      u"error dialog"_s,
                                 u"settings"_s,    u"login"_s,    u"travel booking"_s};
    return all;
}

Drawing draw(const Screen& screen, QSize size, quint32 variant)
{
    static const std::map<QString, WindowDrawer> inWindow{
        {u"code"_s, drawCode},        {u"terminal"_s, drawTerminal}, {u"chat"_s, drawChat},
        {u"email"_s, drawEmail},      {u"calendar"_s, drawCalendar}, {u"spreadsheet"_s, drawSpreadsheet},
        {u"web page"_s, drawWebPage}, {u"settings"_s, drawSettings}, {u"travel booking"_s, drawTravelBooking}};
    static const std::map<QString, FullDrawer> fullScreen{
        {u"receipt"_s, drawReceipt},   {u"invoice"_s, drawInvoice},          {u"map"_s, drawMap},
        {u"document"_s, drawDocument}, {u"error dialog"_s, drawErrorDialog}, {u"login"_s, drawLogin}};

    Drawing drawing{QImage(size, QImage::Format_RGB32), {}};
    const bool dark = screen.kind != u"terminal"_s && variant % 3 == 1;
    Canvas canvas(drawing.image, dark ? kDark : kLight, size.width() / 1440.0, variant);
    if (const auto found = inWindow.find(screen.kind); found != inWindow.end()) {
        const QString title = screen.kind == u"terminal"_s ? screen.title : screen.title.section(u" — "_s, 0, 0);
        found->second(canvas, window(canvas, drawing.image, title), screen);
    } else if (const auto full = fullScreen.find(screen.kind); full != fullScreen.end()) {
        full->second(canvas, drawing.image, screen);
    } else {
        drawing.image.fill(Qt::black);
    }
    drawing.lines = canvas.takeLines();
    return drawing;
}

} // namespace ScreenTypes
