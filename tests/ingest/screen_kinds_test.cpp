// Screen-type labels: on screens drawn as their applications show them and
// read by the real text recognition, and on texts alone where the cues of
// two kinds meet.

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
