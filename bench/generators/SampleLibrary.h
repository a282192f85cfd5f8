#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

// Writes a folder that looks like a real screenshot folder: windows with
// title bars, sidebars, paragraphs, code, chat bubbles, receipts and links,
// light and dark, at common screen sizes; a few screen recordings, HEIC and
// WebP files, sub-folders and byte-identical duplicates. The same seed gives
// the same files.
class SampleLibrary
{
public:
    struct Options
    {
        QString folder;
        // Files in all, the duplicates included.
        int count = 40;
        quint32 seed = 1;
        // Tiny images (64×40) for benchmarks that need many files, not pixels.
        bool small = false;
        // One file in every N of each kind (so even a small folder has each).
        int recordingEvery = 40;
        int heicEvery = 20;
        int webpEvery = 20;
        double duplicateShare = 0.03;
        int subfolders = 4;

        // Only screenshots (PNG), all in the folder itself: no recordings,
        // HEIC, WebP, duplicates or sub-folders.
        static Options screenshotsOnly(const QString& folder, int count, quint32 seed);
    };

    // One written file and the text drawn in it, line by line (empty for
    // recordings), with its path relative to the folder.
    struct Entry
    {
        QString relativePath;
        QStringList lines;
        bool isDuplicate = false;
    };

    struct Result
    {
        QList<Entry> entries;
        QStringList errors;
    };

    static Result write(const Options& options);

    // The screenshot of one index, drawn in memory (what write() saves): its
    // lines in the order a person reads them, and the kind of screen it is
    // (as the screen-kind labels name it).
    struct Drawing
    {
        QImage image;
        QStringList lines;
        QString kind = {};
    };
    static Drawing draw(quint32 seed, int index, bool small);
    // The same content at a chosen size and appearance (for measurements that
    // must cover each).
    enum class Appearance { light, dark };
    static Drawing draw(quint32 seed, int index, QSize size, Appearance appearance);
    // A window whose sidebar runs its whole height beside a column of notes
    // (or code), their lines falling between one another: what a reading
    // that mixes columns gets wrong.
    static Drawing drawColumns(quint32 seed, int index, QSize size, Appearance appearance);

    // What a measurement looks for in a drawing: the whole of one line
    // drawn in parts, and the line below it.
    struct Marked
    {
        Drawing drawing;
        QString line;
        QString next = {};
    };
    // A browser window whose address bar shows a padlock, the scheme in grey
    // and a long address in dark text (`line`), or all of them in one dark
    // colour, above a page of text. Hosts (www. among them), paths, fonts,
    // sizes, light or dark and a scale of 1 or 2 vary with the index.
    static Marked drawBrowser(quint32 seed, int index);
    // A dialog over a window: an icon beside a bold title (`line`) and the
    // first line of its body (`next`), more lines and buttons below; dark
    // more often than not, at a scale of 1 or 2.
    static Marked drawDialog(quint32 seed, int index);

    // The ground truth as JSON: {"files": [{"path", "lines", "duplicate"}]}.
    static QByteArray groundTruthJson(const Result& result);
    static constexpr const char* groundTruthName = ".ground-truth.json";

    static bool writeRecording(const QString& path, QSize size, double seconds, QString* error = nullptr);
};
