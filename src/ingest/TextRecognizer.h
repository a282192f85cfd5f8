#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace tesseract {
class TessBaseAPI;
}

// One Tesseract engine (LSTM, English, language model on) that lays out and
// reads pictures prepared as dark ink on white. An engine is not safe for
// concurrent use: threads share engines through a LeasePool.
class TextRecognizer
{
public:
    // Either the lines read (possibly none), or why not.
    struct Result
    {
        enum class Failure { none, engine, recognition, stopped };

        std::optional<QStringList> lines;
        Failure failure = Failure::none;
        QString error;
    };

    // The boxes of the text lines of a page in reading order, or why the
    // engine could not run.
    struct Layout
    {
        std::optional<std::vector<QRect>> lines;
        QString error;
    };

    TextRecognizer();
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // Finds the text lines of `ink`. The page stays in the engine, so that
    // readLaidOut() reads it without laying it out again; `ink` must live
    // until then.
    Layout layOut(const QImage& ink);
    // Reads the page laid out last as a whole: the non-empty lines, top
    // candidate each, in reading order.
    Result readLaidOut(std::stop_token stop = {});
    // Reads `ink`, one line of a page laid out before, on white.
    Result readLine(const QImage& ink, std::stop_token stop = {});

    // Screens show about 96 pixels per inch at their nominal scale; telling the
    // engine so keeps it from guessing (and from saying that it guesses).
    static constexpr int screenResolution = 96;

private:
    bool ensureEngine();
    void setPage(const QImage& ink);
    Result read(std::stop_token stop);

    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
    QString m_engineError;
};
