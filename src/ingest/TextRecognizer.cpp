#include "ingest/TextRecognizer.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

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

QStringList linesOf(tesseract::TessBaseAPI& engine)
{
    QStringList lines;
    const std::unique_ptr<tesseract::ResultIterator> iterator(engine.GetIterator());
    if (!iterator)
        return lines;
    do {
        const std::unique_ptr<char[]> text(iterator->GetUTF8Text(tesseract::RIL_TEXTLINE));
        const QString line = text ? QString::fromUtf8(text.get()).simplified() : QString();
        if (!line.isEmpty())
            lines.append(line);
    } while (iterator->Next(tesseract::RIL_TEXTLINE));
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

// Called by the engine between words: true stops the recognition.
bool isStopRequested(void* token, int /*words*/)
{
    return static_cast<const std::stop_token*>(token)->stop_requested();
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

TextRecognizer::Result TextRecognizer::readLaidOut(std::stop_token stop)
{
    if (!ensureEngine())
        return {std::nullopt, Result::Failure::engine, m_engineError};
    return read(std::move(stop));
}

TextRecognizer::Result TextRecognizer::readLine(const QImage& ink, std::stop_token stop)
{
    if (!ensureEngine())
        return {std::nullopt, Result::Failure::engine, m_engineError};
    // The line as the page's layout found it: a line that runs across
    // columns stays one line, as it does when the page is read whole.
    m_engine->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    setPage(ink);
    return read(std::move(stop));
}

TextRecognizer::Result TextRecognizer::read(std::stop_token stop)
{
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &isStopRequested;
    monitor.cancel_this = &stop;
    const bool recognised = m_engine->Recognize(&monitor) == 0;
    Result result;
    // A stopped recognition may have read part of the page: none of it counts.
    if (stop.stop_requested())
        result = {std::nullopt, Result::Failure::stopped, {}};
    else if (recognised)
        result.lines = linesOf(*m_engine);
    else
        result = {std::nullopt, Result::Failure::recognition, u"Tesseract could not analyse the image"_s};
    // The page and its results stay in the engine until the next image; a
    // long batch should not hold on to the last one.
    m_engine->Clear();
    return result;
}
