#include "ingest/TextRecognizer.h"

#include "core/ImageLoader.h"

#include <QPainter>

#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {
// Wider than the strokes and gaps of screen text up to large headings, so the
// median of a window is the colour behind the text, while edges of flat
// areas (bubbles, bars, panels) stay where they are.
constexpr int backgroundWindow = 31;
// Differences from the background are stretched so that dim text (grey on
// dark grey) still binarises as ink.
constexpr double inkGain = 2.0;

// Tesseract's diagnostics ("Estimating resolution as ...") go to one
// process-wide file; pointing it at /dev/null before the first engine
// exists keeps them off the console.
void silenceDiagnostics(tesseract::TessBaseAPI& engine)
{
    static std::once_flag once;
    std::call_once(once, [&engine] { engine.SetVariable("debug_file", "/dev/null"); });
}

cv::Mat matOver(QImage& grey)
{
    return cv::Mat(grey.height(), grey.width(), CV_8UC1, grey.bits(), size_t(grey.bytesPerLine()));
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
} // namespace

TextRecognizer::TextRecognizer() = default;
TextRecognizer::~TextRecognizer() = default;

TextRecognizer& TextRecognizer::forCurrentThread()
{
    thread_local TextRecognizer recognizer;
    return recognizer;
}

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
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    // Pictures arrive with the text already dark on white; trying each line
    // inverted as well would only cost time.
    engine->SetVariable("tessedit_do_invert", "0");
    m_engine = std::move(engine);
    return true;
}

TextRecognizer::Result TextRecognizer::recognizeLines(const QImage& image)
{
    if (!ensureEngine())
        return {std::nullopt, Result::Failure::engine, m_engineError};
    const QImage ink = inkOnWhite(image);
    if (ink.isNull())
        return {std::nullopt, Result::Failure::recognition, u"The image is too large to prepare for recognition"_s};

    m_engine->SetImage(ink.constBits(), ink.width(), ink.height(), 1, int(ink.bytesPerLine()));
    m_engine->SetSourceResolution(screenResolution);
    Result result;
    if (m_engine->Recognize(nullptr) == 0)
        result.lines = linesOf(*m_engine);
    else
        result = {std::nullopt, Result::Failure::recognition, u"Tesseract could not analyse the image"_s};
    // The page and its results stay in the engine until the next image; a
    // long batch should not hold on to the last one.
    m_engine->Clear();
    return result;
}

QImage TextRecognizer::inkOnWhite(const QImage& image)
{
    QImage grey = ImageLoader::flattenedOnWhite(image, QImage::Format_Grayscale8);
    if (grey.isNull() || grey.width() < 3 || grey.height() < 3)
        return grey;
    cv::Mat pixels = matOver(grey);
    cv::Mat background;
    const int window = std::min({backgroundWindow, (grey.width() - 1) | 1, (grey.height() - 1) | 1});
    cv::medianBlur(pixels, background, window);
    cv::Mat ink;
    cv::absdiff(pixels, background, ink);
    ink.convertTo(pixels, CV_8U, -inkGain, 255);
    return grey;
}
