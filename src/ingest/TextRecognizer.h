#pragma once

#include "ingest/TimeBudget.h"

#include <QImage>
#include <QRect>
#include <QSize>
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

    // How surely a line was read: doubtful; sure, read well as a whole (more
    // than a label), holding a sure word, or a label of sure words however
    // short; certain, holding two sure words.
    enum class Certainty { doubtful, sure, certain };

    // Either the lines read (possibly none), or why not.
    struct Result
    {
        enum class Failure { none, engine, recognition, stopped };

        std::optional<QStringList> lines;
        Failure failure = Failure::none;
        QString error;
        // The budget was spent first: `lines` holds what was read until then.
        bool reachedDeadline = false;
        // How surely each of `lines` was read (see Certainty). Lines of
        // doubtful scraps that kept no word are only counted.
        std::vector<Certainty> certainty = {};
        int scraps = 0;
        // When a whole page was read: where each of `lines` lies on it, and
        // its size (at the size it was read at).
        std::vector<QRect> boxes = {};
        QSize page = {};
        // The web addresses in `lines` (see looksLikeAddress); how surely the
        // least sure of them was read, 0 to 100 (100 when there are none, 0
        // when a word holds the start of one not read as one: "https:"
        // "//host…", "https:www.host…"); and whether one was read in pieces
        // or with its scheme misread, and mended.
        int addresses = 0;
        float addressConfidence = 100;
        bool addressMended = false;
    };

    // The boxes of the text lines of a page, in no particular order, or why
    // the engine could not run.
    struct Layout
    {
        std::optional<std::vector<QRect>> lines;
        QString error;
    };

    TextRecognizer();
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // Finds the text lines of `ink`.
    Layout layOut(const QImage& ink);
    // Reads `ink`, one line of a page laid out before, on white.
    Result readLine(const QImage& ink, const Limits& limits);

    // Screens show about 96 pixels per inch at their nominal scale; telling the
    // engine so keeps it from guessing (and from saying that it guesses).
    static constexpr int screenResolution = 96;
    // One word as the engine read it, with its confidence (0 to 100), and
    // whether the screen shows a blank before it: the engine at times splits
    // a word where there is none (unknown when the picture was not measured).
    struct Word
    {
        QString text;
        float confidence = 0;
        std::optional<bool> blankBefore = {};
    };
    // What a line keeps of its words, how surely it was read, and its
    // addresses (as in Result).
    struct KeptLine
    {
        QString text;
        Certainty certainty = Certainty::doubtful;
        int addresses = 0;
        float addressConfidence = 100;
        bool addressMended = false;
    };
    // The words of one line worth keeping. A line whose words are read with
    // wellReadLineConfidence on average keeps them all. Elsewhere a word is
    // kept when it is read with keptAloneConfidence and has sureWordLetters
    // letters or digits, or is a web address (see looksLikeAddress); or, in
    // a line holding a sure word (sureWordConfidence, sureWordLetters
    // letters or digits), an address or a call of code ("append(entry);"),
    // or in a label of labelWords words at most, when it is read with
    // minimumWordConfidence or looks like a word (doubtfulWordLetters letters
    // or digits, longestDoubtfulWord characters at most, no letter making up
    // more than about half of them, no run of four alike, one sign at most
    // besides punctuation). Pieces of an address read apart ("…/2025/1"
    // "7/…", "https://shop." "example.com"; where the screen shows no blank,
    // "…/page" "?id=2", "https:" "//…", "example." "com/a") are one word,
    // but a path or an "&" with a blank before it stays a word of its own;
    // and its misread scheme is read as written (see
    // LinkDetector::withSchemeMended).
    static KeptLine keptWords(const std::vector<Word>& read);
    // Whether `word` has the shape of a web address: a scheme ("https://",
    // its slashes at times misread: "htps:i/"; after a setting's name:
    // "URL='smtps://") or "www." before a name, or a
    // host ending in a domain of letters with a path after it; with no run of
    // four of one sign and no letter making up a third of its letters, as a
    // texture's scraps have. A line holding
    // one is certain, whatever the engine's confidence.
    static bool looksLikeAddress(const QString& word);
    // Whether `word` holds what begins a web address ("https:", ":/",
    // "www."), read as one or not.
    static bool holdsAddressStart(const QString& word);

    static constexpr float wellReadLineConfidence = 45;
    static constexpr float keptAloneConfidence = 60;
    static constexpr float sureWordConfidence = 85;
    static constexpr int sureWordLetters = 3;
    static constexpr int labelWords = 2;
    static constexpr float minimumWordConfidence = 40;
    static constexpr int doubtfulWordLetters = 4;
    static constexpr int longestDoubtfulWord = 40;

private:
    bool ensureEngine();
    void setPage(const QImage& ink);
    Result read(const QImage& ink, const Limits& limits);

    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
    QString m_engineError;
};
