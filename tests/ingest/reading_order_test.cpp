// The order lines are read in, from their boxes alone: a sidebar beside a
// column whose lines fall between its items is read column by column, with
// the title bar above both first; a table or a form row by row; a chat
// bubble by bubble; the pieces of one line, or one line found twice, are
// one line, and an icon beside two lines a piece of neither.

#include "ingest/ReadingOrder.h"

#include <gtest/gtest.h>

namespace {
// Lines `height` high, every `step` rows from `top`, at `left`, `width` wide.
std::vector<QRect> column(int left, int width, int top, int step, int count, int height = 16)
{
    std::vector<QRect> lines;
    for (int i = 0; i < count; ++i)
        lines.emplace_back(left, top + i * step, width, height);
    return lines;
}

std::vector<QRect> operator+(std::vector<QRect> a, const std::vector<QRect>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Top to bottom, as a reading that mixes columns gives them.
std::vector<QRect> byTop(std::vector<QRect> lines)
{
    std::stable_sort(lines.begin(), lines.end(), [](const QRect& a, const QRect& b) { return a.top() < b.top(); });
    return lines;
}
} // namespace

TEST(ReadingOrder, ASidebarBesideAColumnIsReadWholeAfterTheTitleAndBeforeTheColumn)
{
    const std::vector<QRect> title{QRect(600, 20, 160, 14)};
    // Items every 31 rows, lines of the note every 27: they fall between
    // one another, now in step, now not.
    const std::vector<QRect> sidebar = column(20, 120, 80, 31, 20);
    const std::vector<QRect> note = column(300, 700, 84, 27, 24, 18);
    const std::vector<QRect> page = title + sidebar + note;
    EXPECT_EQ(ReadingOrder::order(byTop(page)), page);
}

TEST(ReadingOrder, TablesAndFormsAreReadRowByRowAndAChatBubbleByBubble)
{
    // A form: each label in step with its value, far to its right.
    std::vector<QRect> form;
    for (int row = 0; row < 8; ++row) {
        form.emplace_back(300, 100 + row * 52, 140, 16);
        form.emplace_back(1200, 100 + row * 52 + 1, 90, 16);
    }
    EXPECT_EQ(ReadingOrder::order(form), form);

    // A sheet: cells in step on every row, columns apart.
    std::vector<QRect> sheet;
    for (int row = 0; row < 6; ++row) {
        for (int cell = 0; cell < 4; ++cell)
            sheet.emplace_back(100 + cell * 200, 200 + row * 30, 60, 14);
    }
    EXPECT_EQ(ReadingOrder::order(sheet), sheet);

    // Bubbles on the left and the right, never side by side: a gutter runs
    // between them all the way down, yet they are read in turn.
    std::vector<QRect> chat;
    for (int bubble = 0; bubble < 6; ++bubble)
        chat.emplace_back(bubble % 2 ? 700 : 300, 100 + bubble * 60, 350, 18);
    EXPECT_EQ(ReadingOrder::order(chat), chat);

    // Bubbles beside a sidebar: the sidebar first, then the conversation.
    const std::vector<QRect> sidebar = column(20, 110, 104, 31, 6);
    EXPECT_EQ(ReadingOrder::order(byTop(sidebar + chat)), sidebar + chat);
}

TEST(ReadingOrder, PiecesOfOneLineAndALineFoundTwiceAreOneLineAndARegionIsNone)
{
    // Two pieces of one line a word's gap apart, and a line found twice.
    const std::vector<QRect> pieces{QRect(100, 100, 200, 18), QRect(310, 101, 150, 17), QRect(100, 140, 360, 18),
                                    QRect(102, 141, 355, 17)};
    EXPECT_EQ(ReadingOrder::join(pieces), (std::vector<QRect>{QRect(100, 100, 360, 18), QRect(100, 140, 360, 18)}));

    // A box around two lines (a bubble taken whole) is not read as a line.
    const std::vector<QRect> lines{QRect(400, 200, 300, 18), QRect(400, 230, 280, 18)};
    const std::vector<QRect> withRegion = lines + std::vector<QRect>{QRect(380, 190, 340, 70)};
    EXPECT_EQ(ReadingOrder::join(withRegion), lines);

    // Lines a gutter apart stay apart.
    const std::vector<QRect> apart{QRect(20, 100, 80, 16), QRect(300, 101, 400, 16)};
    EXPECT_EQ(ReadingOrder::join(apart), apart);
}

TEST(ReadingOrder, AnIconBesideATitleAndTheLineBelowIsAPieceOfNeither)
{
    // A dialog's icon with two specks of it, beside a bold title, the
    // first line of the body and a second line: joined to the title, the
    // icon's box would take in the line below, and the three be read as one
    // garbled line.
    const QRect title(807, 471, 202, 16), body(807, 498, 383, 13), second(807, 521, 180, 13);
    const std::vector<QRect> dialog{title, QRect(779, 496, 4, 7), QRect(730, 455, 45, 56), QRect(784, 506, 3, 5), body,
                                    second};
    const std::vector<QRect> joined = ReadingOrder::join(dialog);
    for (const QRect& line : {title, body, second})
        EXPECT_NE(std::find(joined.begin(), joined.end(), line), joined.end()) << line.y();

    // An icon whose box with the title's would hold only a sliver of the
    // line below: still no piece of the title.
    const QRect tallTitle(604, 364, 266, 18), icon(527, 357, 43, 40), firstLine(604, 393, 410, 13);
    const std::vector<QRect> lines = ReadingOrder::join({icon, tallTitle, firstLine});
    EXPECT_NE(std::find(lines.begin(), lines.end(), tallTitle), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), firstLine), lines.end());
}
