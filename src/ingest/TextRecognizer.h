#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace tesseract {
class TessBaseAPI;
}

// One Tesseract engine (LSTM, English, language model on) that reads the text
// lines of a picture in reading order. An engine is not safe for concurrent
// use: each worker thread reuses its own through forCurrentThread().
class TextRecognizer
{
public:
    // Either the lines read (possibly none), or why the engine could not run.
    struct Result
    {
        enum class Failure { none, engine, recognition };

        std::optional<QStringList> lines;
        Failure failure = Failure::none;
        QString error;
    };

    TextRecognizer();
    ~TextRecognizer();
    TextRecognizer(const TextRecognizer&) = delete;
    TextRecognizer& operator=(const TextRecognizer&) = delete;

    // This thread's engine, made on first use and kept until the thread ends.
    static TextRecognizer& forCurrentThread();

    // The non-empty lines of `image`, top candidate each, in reading order.
    Result recognizeLines(const QImage& image);

    // A grey picture with the text as dark ink on white, whatever the colours
    // around it: light and dark themes, coloured bubbles and terminals inside
    // a light window all read alike, and filled shapes vanish instead of
    // being taken for pictures by the layout analysis.
    static QImage inkOnWhite(const QImage& image);

    // Screens show about 96 pixels per inch at their nominal scale; telling the
    // engine so keeps it from guessing (and from saying that it guesses).
    static constexpr int screenResolution = 96;

private:
    bool ensureEngine();

    std::unique_ptr<tesseract::TessBaseAPI> m_engine;
    QString m_engineError;
};
