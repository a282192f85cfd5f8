#include "ingest/TextRecognizer.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {
// Tesseract's diagnostics ("Estimating resolution as ...") go to one
// process-wide file; pointing it at /dev/null before the first engine
// exists keeps them off the console.
void silenceDiagnostics(tesseract::TessBaseAPI& engine)
{
    static std::once_flag once;
    std::call_once(once, [&engine] { engine.SetVariable("debug_file", "/dev/null"); });
}

struct ReadWord
{
    QString text;
    float confidence = 0;
};

// Whether a word the engine doubts still has the shape of one: textures read
// as text give mostly scraps of one to three letters ("Ee", "NS", "oer").
bool looksLikeWord(const QString& word)
{
    return std::count_if(word.cbegin(), word.cend(), [](QChar c) { return c.isLetterOrNumber(); }) >=
           TextRecognizer::doubtfulWordLetters;
}

// The words of one line worth keeping: those the engine is fairly sure of,
// those it doubts that still look like words, and every word of a line read
// well as a whole (a link or a name it doubts among plain words is text).
// Textures and pictures taken for text give lines of doubtful scraps.
QString keptWords(const std::vector<ReadWord>& line)
{
    if (line.empty())
        return {};
    float total = 0;
    for (const ReadWord& word : line)
        total += word.confidence;
    const bool wellRead = total / float(line.size()) >= TextRecognizer::wellReadLineConfidence;
    QStringList kept;
    for (const ReadWord& word : line) {
        if (wellRead || word.confidence >= TextRecognizer::minimumWordConfidence || looksLikeWord(word.text))
            kept.append(word.text);
    }
    return kept.join(u' ');
}

QStringList linesOf(tesseract::TessBaseAPI& engine)
{
    QStringList lines;
    const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
    if (!iterator)
        return lines;
    std::vector<ReadWord> line;
    const auto endLine = [&lines, &line] {
        if (const QString kept = keptWords(line); !kept.isEmpty())
            lines.append(kept);
        line.clear();
    };
    do {
        if (iterator->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
            endLine();
        const std::unique_ptr<char[]> text(iterator->GetUTF8Text(tesseract::RIL_WORD));
        // Words past a deadline are left empty by the engine.
        const QString word = text ? QString::fromUtf8(text.get()).simplified() : QString();
        if (!word.isEmpty())
            line.push_back({word, iterator->Confidence(tesseract::RIL_WORD)});
    } while (iterator->Next(tesseract::RIL_WORD));
    endLine();
    return lines;
}

std::vector<QRect> linesOf(tesseract::PageIterator& page)
{
    std::vector<QRect> lines;
    do {
        // Pictures and rules hold no text the whole page would read.
        if (!PTIsTextType(page.BlockType()))
            continue;
        int left = 0, top = 0, right = 0, bottom = 0;
        if (page.BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
            lines.push_back(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
    } while (page.Next(tesseract::RIL_TEXTLINE));
    return lines;
}

// What the engine asks between words.
struct Watch
{
    const TextRecognizer::Limits& limits;
    bool isProcessorTimeSpent = false;
};

// Called by the engine between words: true ends the recognition, which then
// leaves the words it did not reach empty.
bool isToEnd(void* watch, int /*words*/)
{
    auto& self = *static_cast<Watch*>(watch);
    if (self.limits.stop.stop_requested())
        return true;
    self.isProcessorTimeSpent = self.limits.budget.isProcessorTimeSpent();
    return self.isProcessorTimeSpent;
}
} // namespace

TextRecognizer::TextRecognizer() = default;
TextRecognizer::~TextRecognizer() = default;

bool TextRecognizer::ensureEngine()
{
    if (m_engine || !m_engineError.isEmpty())
        return bool(m_engine);
    auto engine = std::make_unique<tesseract::TessBaseAPI>();
    silenceDiagnostics(*engine);
    if (engine->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0) {
        m_engineError = u"The English text model of Tesseract could not be loaded"_s;
        return false;
    }
    // Pictures arrive with the text already dark on white; trying each line
    // inverted as well would only cost time.
    engine->SetVariable("tessedit_do_invert", "0");
    m_engine = std::move(engine);
    return true;
}

void TextRecognizer::setPage(const QImage& ink)
{
    m_engine->SetImage(ink.constBits(), ink.width(), ink.height(), 1, int(ink.bytesPerLine()));
    m_engine->SetSourceResolution(screenResolution);
}

TextRecognizer::Layout TextRecognizer::layOut(const QImage& ink)
{
    if (!ensureEngine())
        return {std::nullopt, m_engineError};
    m_engine->SetPageSegMode(tesseract::PSM_AUTO);
    setPage(ink);
    const std::unique_ptr<tesseract::PageIterator> page(m_engine->AnalyseLayout());
    // An empty page has no iterator.
    return {page ? linesOf(*page) : std::vector<QRect>(), {}};
}

TextRecognizer::Result TextRecognizer::readLaidOut(const Limits& limits)
{
    if (!ensureEngine())
        return {std::nullopt, Result::Failure::engine, m_engineError};
    return read(limits);
}

TextRecognizer::Result TextRecognizer::readLine(const QImage& ink, const Limits& limits)
{
    if (!ensureEngine())
        return {std::nullopt, Result::Failure::engine, m_engineError};
    // The line as the page's layout found it: a line that runs across
    // columns stays one line, as it does when the page is read whole.
    m_engine->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    setPage(ink);
    return read(limits);
}

TextRecognizer::Result TextRecognizer::read(const Limits& limits)
{
    tesseract::ETEXT_DESC monitor;
    Watch watch{limits};
    monitor.cancel = &isToEnd;
    monitor.cancel_this = &watch;
    // The engine checks its deadline between words as well.
    if (limits.budget.deadline != TimeBudget::Clock::time_point::max())
        monitor.end_time = limits.budget.deadline;
    const bool recognised = m_engine->Recognize(&monitor) == 0;
    Result result;
    // A stopped recognition may have read part of the page: none of it counts.
    if (limits.stop.stop_requested())
        result = {std::nullopt, Result::Failure::stopped, {}};
    else if (monitor.deadline_exceeded() || watch.isProcessorTimeSpent)
        result = {linesOf(*m_engine), Result::Failure::none, {}, true};
    else if (recognised)
        result.lines = linesOf(*m_engine);
    else
        result = {std::nullopt, Result::Failure::recognition, u"Tesseract could not analyse the image"_s};
    // The page and its results stay in the engine until the next image; a
    // long batch should not hold on to the last one.
    m_engine->Clear();
    return result;
}
