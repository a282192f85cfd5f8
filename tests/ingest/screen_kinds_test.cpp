// Screen-type labels: on screens drawn as their applications show them and
// read by the real text recognition, and on texts alone where the cues of
// two kinds meet; and what the places of the lines of text tell (the turns
// of a conversation).

#include "generators/SampleLibrary.h"
#include "generators/ScreenTypes.h"
#include "ingest/EmbeddingService.h"
#include "ingest/ScreenKindClassifier.h"
#include "ingest/ServiceAnalyzer.h"
#include "ingest/VisualAnalysisService.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
QStringList screenKindsIn(const QStringList& labels)
{
    QStringList kinds;
    for (const QString& label : labels) {
        if (ScreenKindClassifier::kinds().contains(label))
            kinds.append(label);
    }
    return kinds;
}

QStringList textKinds(const QString& text)
{
    return ScreenKindClassifier::labels(text, {}, VisualAnalysisService::confidenceThreshold);
}
} // namespace

TEST(ScreenKinds, RenderedTerminalChatAndReceiptAreLabelledAsWhatTheyAre)
{
    using ScreenTypes::Screen;
    const struct
    {
        Screen screen;
        QSize size;
    } cases[] = {
        {{u"terminal"_s,
          u"bash — ~/src/shop"_s,
          {},
          {u"$ git pull --rebase"_s, u"Current branch main is up to date."_s, u"$ make test"_s,
           u"ctest --output-on-failure"_s, u"100% tests passed, 0 tests failed out of 48"_s}},
         {1440, 900}},
        {{u"chat"_s,
          u"Ada Lindgren"_s,
          u"online"_s,
          {u"Ada\tare we still on for the climbing gym tonight?"_s, u"Me\tyes! I'll bring the ropes"_s,
           u"Ada\tgreat, see you at 7"_s, u"Me\tcan you book the wall for two hours?"_s}},
         {1680, 1050}},
        {{u"receipt"_s,
          u"GREEN LEAF MARKET"_s,
          u"12 Harbour Road"_s,
          {u"Oat milk 1L\t2.49"_s, u"Sourdough loaf\t4.20"_s, u"Cherry tomatoes\t3.15"_s, u"TOTAL\t9.84"_s,
           u"Card payment approved"_s}},
         {1280, 800}},
    };
    QTemporaryDir folder;
    EmbeddingService embedding;
    ServiceAnalyzer analyzer(embedding, Workers::AnalysisSizes{}, nullptr);
    // With threads to spare, the labels' copy of the page is made beside the text.
    Workers::Pool helpers(u"analysis"_s, 8, true);
    ServiceAnalyzer helped(embedding, {.threads = 8, .engines = 2, .networks = 1}, &helpers);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen.kind.toStdString());
        const QString path = folder.filePath(c.screen.kind + u".png"_s);
        ASSERT_TRUE(ScreenTypes::draw(c.screen, c.size, 3).image.save(path));
        const FileAnalyzer::Sight sight = analyzer.look(path, {}, TimeBudget());
        ASSERT_TRUE(sight.text);
        EXPECT_EQ(screenKindsIn(sight.labels), QStringList{c.screen.kind}) << sight.text->toStdString();
        // The stored labels are the same whichever way they are asked for.
        EXPECT_EQ(analyzer.labels(path), sight.labels);
        EXPECT_EQ(helped.look(path, {}, TimeBudget()).labels, sight.labels);
    }
}

TEST(ScreenKinds, TextsWithMixedOrNoCuesGetNoKind)
{
    // A kind stands out: labelled.
    EXPECT_EQ(textKinds(u"From: Ana <ana@mail.example> To: me Subject: slides Hi, here they are. Best, Ana "
                        u"Reply Forward Inbox Drafts Sent"_s),
              QStringList{u"email"_s});
    EXPECT_EQ(textKinds(u"INVOICE Invoice no. 2231 Bill to: Acme Ltd Description Qty Price Amount "
                        u"Support hours 3 90.00 270.00 Total due 270.00"_s),
              QStringList{u"invoice"_s});
    // A mail that forwards an invoice is not an invoice screen, nor surely a
    // mail screen of its own kind either: at most one label, never both.
    EXPECT_LE(textKinds(u"From: billing@acme.example Your invoice 2231 is attached. Total due 270.00 "
                        u"Reply Forward"_s)
                  .size(),
              1);
    // Prose, a name, nothing: no kind at all.
    EXPECT_TRUE(textKinds(u"The quick brown fox jumps over the lazy dog"_s).isEmpty());
    EXPECT_TRUE(textKinds(u"Anna"_s).isEmpty());
    EXPECT_TRUE(textKinds(u""_s).isEmpty());
    // The confidences are a distribution over the kinds and none of them.
    double sum = 0;
    for (const ScreenKindClassifier::Observation& o : ScreenKindClassifier::classify(u"$ ls -la"_s, {}))
        sum += o.confidence;
    EXPECT_LT(sum, 1.0);
    EXPECT_GT(sum, 0.5);
}

TEST(ScreenKinds, ScreensOfANewUsersFolderAreLabelledByWhatTheyShow)
{
    // Chat bubbles with no chat word in them, beside a sidebar; code; a
    // terminal showing code at a prompt.
    QTemporaryDir folder;
    EmbeddingService embedding;
    ServiceAnalyzer analyzer(embedding, Workers::AnalysisSizes{}, nullptr);
    for (const int index : {0, 24, 2, 9, 1, 5}) {
        const SampleLibrary::Drawing drawing = SampleLibrary::draw(1, index, false);
        SCOPED_TRACE(drawing.kind.toStdString());
        const QString path = folder.filePath(u"%1.png"_s.arg(index));
        ASSERT_TRUE(drawing.image.save(path));
        const FileAnalyzer::Sight sight = analyzer.look(path, {}, TimeBudget());
        ASSERT_TRUE(sight.text);
        EXPECT_EQ(screenKindsIn(sight.labels), QStringList{drawing.kind}) << sight.text->toStdString();
    }
}

TEST(ScreenKinds, LinesTurnFromSideToSideInAChatButNotInAFormOrInColumns)
{
    const QSize page(1440, 900);
    const auto turns = [&page](const std::vector<QRect>& lines) {
        ScreenKindClassifier::Look look;
        ScreenKindClassifier::addLineLayout(look, lines, page);
        return look.bubbleTurns;
    };
    // Bubbles, theirs at the left and ours at the right, beside a sidebar
    // whose items now and then share a row with one.
    std::vector<QRect> chat;
    for (int i = 0; i < 6; ++i)
        chat.emplace_back(20, 100 + i * 30, 90, 14);
    for (int bubble = 0; bubble < 5; ++bubble)
        chat.push_back(bubble % 2 ? QRect(850, 100 + bubble * 60, 430, 22) : QRect(300, 100 + bubble * 60, 400, 14));
    EXPECT_EQ(turns(chat), 4);

    // A form: values at the right, each beside its label.
    std::vector<QRect> form;
    for (int row = 0; row < 6; ++row) {
        form.emplace_back(280, 100 + row * 52, row % 2 ? 300 : 90, 16);
        form.emplace_back(1150, 101 + row * 52, 180, 16);
    }
    EXPECT_EQ(turns(form), 0);

    // An article beside a column of headlines at the right.
    std::vector<QRect> columns;
    for (int line = 0; line < 20; ++line)
        columns.emplace_back(120, 100 + line * 27, 700, 18);
    for (int headline = 0; headline < 8; ++headline)
        columns.emplace_back(1000, 110 + headline * 64, 360, 18);
    EXPECT_EQ(turns(columns), 0);

    // The turns make a chat of a text with no chat word in it; links do not
    // make a web page of it.
    const QString text = u"The quarterly report is due on Friday afternoon. Have a look: "
                         u"https://news.example.com/articles/today?ref=home The photo backup finished."_s;
    ScreenKindClassifier::Look look;
    EXPECT_EQ(ScreenKindClassifier::labels(text, look, VisualAnalysisService::confidenceThreshold), QStringList());
    ScreenKindClassifier::addLineLayout(look, chat, page);
    EXPECT_EQ(ScreenKindClassifier::labels(text, look, VisualAnalysisService::confidenceThreshold),
              QStringList{u"chat"_s});
}
