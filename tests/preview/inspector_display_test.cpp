#include "InspectorFixture.h"

#include "preview/InspectorText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QTextEdit>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {
const QString text = u"Intelligent Text"_s;
const QString tags = u"Custom Tags"_s;
const QString notes = u"Notes"_s;
const QString links = u"Smart Links"_s;
const QString labels = u"Smart Tags"_s;
const QString facts = u"File DNA"_s;

struct SectionCase
{
    const char* name;
    std::optional<QString> ocrText;
    std::optional<QList<QUrl>> urls;
    QStringList labels;
    std::optional<QString> sourceApp;
    bool indicator;
    bool copyButton;
    QStringList sections;
    QStringList factLabels;
};

void PrintTo(const SectionCase& c, std::ostream* os)
{
    *os << c.name;
}
} // namespace

class InspectorSections : public InspectorFixture, public ::testing::WithParamInterface<SectionCase>
{};

TEST_P(InspectorSections, ShowWhatTheRecordHolds)
{
    const SectionCase& c = GetParam();
    Screenshot shot = stored(u"a.png"_s);
    shot.ocrText = c.ocrText;
    shot.detectedUrls = c.urls;
    shot.tags = c.labels;
    shot.sourceApp = c.sourceApp;
    show(shot);

    EXPECT_FALSE(m_inspector->showsPlaceholder());
    EXPECT_EQ(m_inspector->showsTextIndicator(), c.indicator);
    EXPECT_EQ(m_inspector->copyButton() != nullptr, c.copyButton);
    EXPECT_EQ(m_inspector->findChild<QWidget*>(u"noTextPlaceholder"_s) != nullptr, !c.copyButton);
    EXPECT_EQ(m_inspector->sectionTitles(), c.sections);
    EXPECT_EQ(m_inspector->fileFactLabels(), c.factLabels);
}

INSTANTIATE_TEST_SUITE_P(Cases, InspectorSections,
                         ::testing::Values(SectionCase{"NotAnalysed",
                                                       std::nullopt,
                                                       std::nullopt,
                                                       {},
                                                       std::nullopt,
                                                       false,
                                                       false,
                                                       {text, tags, notes, facts},
                                                       {u"Filename"_s, u"Created"_s, u"Size"_s}},
                                           SectionCase{"AnalysedWithoutText",
                                                       u""_s,
                                                       QList<QUrl>{},
                                                       {},
                                                       std::nullopt,
                                                       true,
                                                       false,
                                                       {text, tags, notes, facts},
                                                       {u"Filename"_s, u"Created"_s, u"Size"_s}},
                                           SectionCase{"Everything",
                                                       u"Total due $168"_s,
                                                       QList<QUrl>{QUrl(u"https://a.example/x"_s)},
                                                       {u"laptop"_s},
                                                       u"firefox"_s,
                                                       true,
                                                       true,
                                                       {text, tags, notes, links, labels, facts},
                                                       {u"Filename"_s, u"Created"_s, u"Size"_s, u"Source"_s}},
                                           SectionCase{"LabelsWithoutLinks",
                                                       u"x"_s,
                                                       std::nullopt,
                                                       {u"book"_s},
                                                       std::nullopt,
                                                       true,
                                                       true,
                                                       {text, tags, notes, labels, facts},
                                                       {u"Filename"_s, u"Created"_s, u"Size"_s}}),
                         [](const ::testing::TestParamInfo<SectionCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(InspectorFixture, WithoutAScreenshotOnlyThePlaceholderShows)
{
    show(std::nullopt);
    EXPECT_TRUE(m_inspector->showsPlaceholder());
    EXPECT_FALSE(m_inspector->showsTextIndicator());
    EXPECT_TRUE(m_inspector->sectionTitles().isEmpty());
}

// A file analysed without text shows none; one nothing could be read of
// says so, without the mark of text read, also when only that changed.
TEST_F(InspectorFixture, AFileThatCouldNotBeReadSaysSoWhereOneWithoutTextSaysNone)
{
    const auto placeholderText = [this] {
        drainPostedEvents(); // new sections show, old ones go
        for (const QWidget* placeholder : m_inspector->findChildren<QWidget*>(u"noTextPlaceholder"_s)) {
            if (placeholder->isVisibleTo(m_inspector))
                return placeholder->findChild<QLabel*>()->text();
        }
        return QString();
    };
    Screenshot shot = stored(u"a.png"_s);
    shot.ocrText = u""_s;
    shot.embedding = QList<double>();
    show(shot);
    EXPECT_EQ(placeholderText(), u"No text detected"_s);
    EXPECT_TRUE(m_inspector->showsTextIndicator());

    for (const AnalysisFailure failure : {AnalysisFailure::unreadable, AnalysisFailure::givenUp}) {
        shot.analysisFailure = failure;
        show(shot);
        EXPECT_EQ(placeholderText(), u"The text of this file could not be read."_s);
        EXPECT_FALSE(m_inspector->showsTextIndicator());
        EXPECT_EQ(m_inspector->copyButton(), nullptr);
    }
}

// A reading that real time stopped holds part of the text, perhaps none: it
// says so, under the text or in place of "No text detected", while another
// reading is to come, and says nothing more once none is.
TEST_F(InspectorFixture, AnUnfinishedReadingSaysItsTextIsCompletedAtTheNextStart)
{
    const QString stillReading =
        u"The text of this file is still being read; it will be completed at the next start."_s;
    const auto shown = [this] {
        drainPostedEvents(); // new sections show, old ones go
        QStringList texts;
        for (const QLabel* label : m_inspector->findChildren<QLabel*>()) {
            if (label->isVisibleTo(m_inspector) && !label->text().isEmpty())
                texts.append(label->text());
        }
        return texts;
    };
    Screenshot shot = stored(u"a.png"_s);
    shot.ocrText = u"the first lines"_s;
    show(shot);
    EXPECT_FALSE(shown().contains(stillReading));
    EXPECT_TRUE(m_inspector->showsTextIndicator());

    shot.unfinishedReads = 1;
    show(shot);
    EXPECT_TRUE(shown().contains(stillReading)) << "only the count changed";
    EXPECT_FALSE(m_inspector->showsTextIndicator()) << "the mark of a text read whole";
    EXPECT_NE(m_inspector->copyButton(), nullptr);
    const QTextEdit* text = m_inspector->findChild<QTextEdit*>(u"recognizedText"_s);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->toPlainText(), u"the first lines"_s);

    shot.ocrText = u""_s;
    show(shot);
    EXPECT_TRUE(shown().contains(stillReading));
    EXPECT_FALSE(shown().contains(u"No text detected"_s));

    // Stopped as often as the limit allows: what was read is all there is.
    shot.unfinishedReads = unfinishedReadLimit;
    show(shot);
    EXPECT_FALSE(shown().contains(stillReading));
    EXPECT_TRUE(m_inspector->showsTextIndicator());
    EXPECT_TRUE(shown().contains(u"No text detected"_s));
}

TEST_F(InspectorFixture, ChipsAndFactsShowTheRecordAsPlainText)
{
    Screenshot shot = stored(u"<b>report</b>.png"_s);
    shot.detectedUrls = QList<QUrl>{QUrl(u"https://www.example.org/a?b=1"_s), QUrl(u"mailto:sam@example.org"_s)};
    shot.tags = {u"cell phone"_s, u"TEDDY bear"_s};
    shot.sourceApp = u"org.gnome.Nautilus"_s;
    shot.fileSize = 2'348'112;
    show(shot);

    EXPECT_EQ(texts(m_inspector->linkChips()), (QStringList{u"www.example.org"_s, u"mailto:sam@example.org"_s}));
    EXPECT_EQ(texts(m_inspector->smartTagChips()), (QStringList{u"Cell Phone"_s, u"Teddy Bear"_s}));
    EXPECT_EQ(m_inspector->fileFactValue(u"Filename"_s), u"<b>report</b>.png"_s);
    EXPECT_EQ(m_inspector->fileFactValue(u"Size"_s), InspectorText::fileSize(2'348'112));
    EXPECT_EQ(m_inspector->fileFactValue(u"Source"_s), u"org.gnome.Nautilus"_s);
}

TEST_F(InspectorFixture, OnlyWebAndMailLinksOpen)
{
    show(stored(u"a.png"_s));
    LogCapture log;
    for (const QString& link :
         {u"javascript:alert(1)"_s, u"file:///etc/passwd"_s, u"smb://server/share"_s, u"x-custom:run"_s,
          u"https://example.org"_s, u"HTTP://example.org"_s, u"mailto:sam@example.org"_s})
        m_inspector->openLink(QUrl(link));
    EXPECT_EQ(m_opened, (QList<QUrl>{QUrl(u"https://example.org"_s), QUrl(u"HTTP://example.org"_s),
                                     QUrl(u"mailto:sam@example.org"_s)}));
    EXPECT_EQ(log.matching(u"Refused to open a link"_s).size(), 4);
}

TEST_F(InspectorFixture, AClickOnALinkChipOpensItsLink)
{
    Screenshot shot = stored(u"a.png"_s);
    shot.detectedUrls = QList<QUrl>{QUrl(u"https://example.org/page"_s)};
    show(shot);
    m_inspector->linkChips().first()->click();
    EXPECT_EQ(m_opened, QList<QUrl>{QUrl(u"https://example.org/page"_s)});
}

TEST_F(InspectorFixture, CopiedShowsForTwoSecondsFromTheFirstCopy)
{
    Screenshot shot = stored(u"a.png"_s);
    shot.ocrText = u"Total due $168.00"_s;
    show(shot);
    QGuiApplication::clipboard()->clear();

    m_inspector->copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"Total due $168.00"_s);
    EXPECT_EQ(m_inspector->copyButton()->text(), u"Copied"_s);
    EXPECT_EQ(m_inspector->copyButton()->symbolName(), u"checkmark"_s);

    m_clock.advance(1s);
    m_inspector->copyButton()->click();
    m_clock.advance(999ms);
    EXPECT_TRUE(m_inspector->isCopied());
    m_clock.advance(1ms);
    EXPECT_FALSE(m_inspector->isCopied());
    EXPECT_EQ(m_inspector->copyButton()->text(), u"Copy Text"_s);
    EXPECT_EQ(m_inspector->copyButton()->symbolName(), u"doc.on.doc"_s);
}

TEST_F(InspectorFixture, TheSameRecordUpdatedRefreshesFactsButKeepsTheEdits)
{
    const Screenshot shot = stored(u"a.png"_s, {u"Work"_s}, u"draft"_s);
    show(shot);
    m_inspector->notesEditor()->setPlainText(u"typing"_s);

    Screenshot analysed = shot;
    analysed.ocrText = u"Hello"_s;
    analysed.customTags = {u"Other"_s};
    analysed.userNotes = u"other"_s;
    m_inspector->setScreenshot(analysed);

    EXPECT_TRUE(m_inspector->showsTextIndicator());
    EXPECT_NE(m_inspector->copyButton(), nullptr);
    EXPECT_EQ(m_inspector->customTags(), QStringList{u"Work"_s});
    EXPECT_EQ(m_inspector->notesText(), u"typing"_s);
}

TEST_F(InspectorFixture, AnotherRecordReplacesTagsAndNoteButNotTheTagFieldOrItsSuggestions)
{
    const Screenshot a = stored(u"a.png"_s, {u"Receipt"_s, u"Recipes"_s});
    const Screenshot b = stored(u"b.png"_s, {u"Work"_s}, u"for B"_s);
    show(a);
    m_inspector->tagField()->setText(u"re"_s);
    EXPECT_TRUE(m_inspector->tagSuggestions().isEmpty()); // both are on A already

    m_inspector->setScreenshot(b);

    EXPECT_EQ(m_inspector->customTags(), QStringList{u"Work"_s});
    EXPECT_EQ(m_inspector->notesText(), u"for B"_s);
    EXPECT_EQ(m_inspector->newTagInput(), u"re"_s);
    EXPECT_EQ(m_inspector->tagSuggestions(), (QStringList{u"Receipt"_s, u"Recipes"_s}));
}

TEST_F(InspectorFixture, StoredTagsArrivingAfterTheInspectorClosedAreDropped)
{
    stored(u"a.png"_s, {u"Work"_s});
    auto* inspector = makeInspector();
    inspector->show();
    delete inspector; // waits for its reader; the answer is still queued
    QCoreApplication::processEvents();
    SUCCEED();
}

namespace {
struct SizeCase
{
    qint64 bytes;
    const char* text;
};
} // namespace

TEST(InspectorText, FileSizesInDecimalKilobytesAndMegabytes)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (const SizeCase& c : std::initializer_list<SizeCase>{{0, "Zero KB"},
                                                             {1, "1 KB"},
                                                             {1'499, "1 KB"},
                                                             {1'500, "2 KB"},
                                                             {999'499, "999 KB"},
                                                             {999'500, "1 MB"},
                                                             {2'348'112, "2.3 MB"},
                                                             {2'000'000, "2 MB"},
                                                             {1'204'000'000, "1,204 MB"}})
        EXPECT_EQ(InspectorText::fileSize(c.bytes, us), QString::fromUtf8(c.text)) << c.bytes;
}

namespace {
// The mean colour of an 8 × 8 block of the inspector drawn over the
// preview's backdrop (the panel is translucent).
QColor blockOf(MetadataInspectorView& inspector, QPoint topLeft)
{
    QImage canvas(inspector.size(), QImage::Format_RGB32);
    canvas.fill(QColor(10, 10, 10));
    inspector.render(&canvas, QPoint(), QRegion(), QWidget::DrawChildren);
    int red = 0, green = 0, blue = 0;
    for (int y = topLeft.y(); y < topLeft.y() + 8; ++y)
        for (int x = topLeft.x(); x < topLeft.x() + 8; ++x) {
            const QColor c = canvas.pixelColor(x, y);
            red += c.red();
            green += c.green();
            blue += c.blue();
        }
    return QColor(red / 64, green / 64, blue / 64);
}
} // namespace

// The panel is one material whether it shows a record or not (the record's
// scroll view once painted it over with the window colour), under a header
// that is the darker of the two.
TEST_F(InspectorFixture, TheBodyIsOneMaterialWithOrWithoutARecordUnderADarkerHeader)
{
    show(std::nullopt);
    const QPoint body(308, 420);
    const QColor empty = blockOf(*m_inspector, body);
    const QColor emptyHeader = blockOf(*m_inspector, QPoint(280, 12));
    show(stored(u"a.png"_s));
    const QColor withRecord = blockOf(*m_inspector, body);
    const QColor header = blockOf(*m_inspector, QPoint(280, 12));

    EXPECT_NEAR(withRecord.red(), empty.red(), 1);
    EXPECT_NEAR(withRecord.blue(), empty.blue(), 1);
    EXPECT_GT(withRecord.red(), 20) << "the material, not the window behind it";
    EXPECT_EQ(header, emptyHeader);
    EXPECT_LT(header.red(), withRecord.red() - 3);
}

// The C locale's short time carries seconds; the panel shows none.
TEST_F(InspectorFixture, CreatedIsAMediumDateAndATimeWithoutSeconds)
{
    const QLocale previous;
    QLocale::setDefault(QLocale::c());
    Screenshot shot = stored(u"a.png"_s);
    shot.dateCreated = QDateTime(QDate(2024, 3, 14), QTime(21, 41, 22));
    show(shot);
    EXPECT_EQ(m_inspector->fileFactValue(u"Created"_s), u"14 Mar 2024, 21:41"_s);
    QLocale::setDefault(previous);
}

TEST(InspectorText, WordsAreCapitalized)
{
    EXPECT_EQ(InspectorText::capitalizedWords(u"cell phone"_s), u"Cell Phone"_s);
    EXPECT_EQ(InspectorText::capitalizedWords(u"TEDDY bear"_s), u"Teddy Bear"_s);
    EXPECT_EQ(InspectorText::capitalizedWords(u"hot-dog 2go"_s), u"Hot-Dog 2go"_s);
}
