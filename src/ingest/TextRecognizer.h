#pragma once

#include "ingest/TimeBudget.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
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
    using Clock = TimeBudget::Clock;

    // What bounds one reading: a stop request gives up everything read, a
    // spent budget keeps what was read until then.
    struct Limits
    {
        std::stop_token stop;
        TimeBudget budget;

        bool isPastDeadline() const { return budget.isSpent(); }
    };

    // Either the lines read (possibly none), or why not.
    struct Result
    {
        enum class Failure { none, engine, recognition, stopped };

        std::optional<QStringList> lines;
        Failure failure = Failure::none;
        QString error;
        // The budget was spent first: `lines` holds what was read until then.
        bool reachedDeadline = false;
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
    Result readLaidOut(const Limits& limits);
    // Reads `ink`, one line of a page laid out before, on white.
    Result readLine(const QImage& ink, const Limits& limits);

    // Screens show about 96 pixels per inch at their nominal scale; telling the
    // engine so keeps it from guessing (and from saying that it guesses).
    static constexpr int screenResolution = 96;
    // Words read with less confidence (0 to 100) are left out, unless they
    // have doubtfulWordLetters letters or digits at least, or their line's
    // words are read with wellReadLineConfidence on average.
    static constexpr float minimumWordConfidence = 40;
    static constexpr float wellReadLineConfidence = 45;
    static constexpr int doubtfulWordLetters = 4;

private:
    bool ensureEngine();
    void setPage(const QImage& ink);
    Result read(const Limits& limits);

    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
    QString m_engineError;
};
