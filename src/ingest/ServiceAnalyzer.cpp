#include "ingest/ServiceAnalyzer.h"

#include "core/ImageLoader.h"
#include "ingest/EmbeddingService.h"
#include "ingest/OCRService.h"
#include "ingest/ScreenKindClassifier.h"
#include "ingest/SharedCvLoops.h"
#include "ingest/VisualAnalysisService.h"

#include "core/LargeBlocks.h"
#include "core/Logger.h"
#include "core/PathUtils.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <QFileInfo>

#include <stop_token>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
bool isStillImage(const QString& path)
{
    const QString extension = pathExtension(path).toLower();
    return extension != u"mp4" && extension != u"mov";
}

// The decoders read the file as they go; refusing to read once the analysis
// is stopped or out of time ends a picture's decoding within a few rows,
// where a 48-megapixel photograph would otherwise take a second more to
// decode.
class StoppableFile : public QFile
{
public:
    StoppableFile(std::stop_token stop, const TimeBudget& budget)
        : m_stop(std::move(stop))
        , m_budget(budget)
    {}

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_stop.stop_requested() || m_budget.isSpent())
            return -1;
        return QFile::readData(data, maxSize);
    }

private:
    const std::stop_token m_stop;
    const TimeBudget& m_budget;
};
} // namespace

ServiceAnalyzer::ServiceAnalyzer(EmbeddingService& embedding, const Workers::AnalysisSizes& sizes,
                                 Workers::Pool* helpers, qint64 pixelBudgetBytes)
    : m_embedding(embedding)
    , m_engines(sizes.engines, [](QString*) { return std::make_unique<TextRecognizer>(); })
    , m_classifier(ObjectClassifier::defaultModelPath(), ObjectClassifier::defaultLabelsPath(), sizes.networks)
    , m_budget(pixelBudgetBytes)
    , m_work(helpers)
    , m_reader(m_engines, m_work)
    , m_isInputMadeAside(helpers && sizes.threads >= 2 * Workers::batchFiles)
    , m_loopWays(helpers ? sizes.threads : 1)
{
    // OpenCV's loops run on the analysis threads, at their lower priority;
    // its own threads would run beside them at normal priority.
    SharedCvLoops::install();
}

ServiceAnalyzer::ServiceAnalyzer(EmbeddingService& embedding, Workers& workers)
    : ServiceAnalyzer(embedding, workers.analysisSizes(), &workers.analysis())
{}

ServiceAnalyzer::~ServiceAnalyzer() = default;

std::optional<QString> ServiceAnalyzer::recognizeText(const QString& filePath)
{
    return OCRService::recognizeText(filePath, m_reader);
}

QList<QUrl> ServiceAnalyzer::extractUrls(const QString& text)
{
    return OCRService::extractUrls(text);
}

QStringList ServiceAnalyzer::labels(const QString& filePath)
{
    // What a screen is follows from its text as much as from its pixels.
    return look(filePath, {}, TimeBudget()).labels;
}

std::optional<QList<double>> ServiceAnalyzer::embedding(const QString& text)
{
    return m_embedding.generateEmbedding(text);
}

FileAnalyzer::Sight ServiceAnalyzer::look(const QString& filePath, std::stop_token stop, const TimeBudget& budget)
{
    holdLargeBlocksWhileAnalysing();
    const QString fileName = QFileInfo(filePath).fileName();
    Sight sight;
    // Opened once, without waiting: a FIFO or device swapped in under the
    // name would otherwise hold this thread until someone writes to it.
    QString error;
    std::optional<SafeFile::OpenedFile> opened = SafeFile::openRegular(filePath, &error);
    StoppableFile device(stop, budget);
    if (!opened || !device.open(opened->handle.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        Logger::log(LogLevel::warning, u"OCR"_s, u"File could not be opened"_s,
                    {{u"file"_s, fileName}, {u"error"_s, error}});
        sight.unopened = true;
        return sight;
    }
    // Recordings have no picture here: they go through as one without text
    // or labels (and say so in the log). A picture that does not decode is
    // kept as unreadable rather than as one without text (one still being
    // written changes, and is read again).
    std::optional<PixelBudget::Share> share;
    QImage image;
    if (isStillImage(filePath)) {
        const QSize size = ImageLoader::imageSize(device);
        share.emplace(m_budget.take(PixelBudget::bytesFor(size)));
        // A header that tells no size is no picture; decoding would read it again.
        if (size.isValid())
            image = ImageLoader::load(device);
        if (stop.stop_requested()) {
            sight.stopped = true;
            return sight;
        }
        if (image.isNull() && budget.isSpent()) {
            sight.reachedDeadline = true;
            return sight;
        }
        if (image.isNull()) {
            Logger::log(LogLevel::warning, u"OCR"_s, u"Failed to load image"_s, {{u"file"_s, fileName}});
            sight.unreadable = true;
            return sight;
        }
    }

    // The labels need only a small copy; the page is let go once read.
    ScreenKindClassifier::Look screenLook;
    SharedWork::Group labelling(m_work, stop, SharedWork::Order::lengthy);
    // `input` makes the network's copy; made in the part or beforehand.
    const auto label = [this, &sight, &fileName, &screenLook, account = budget.cpuAccount()](const auto& input) {
        const CpuAccount::Charge charge(account);
        // The network is the longest piece of a file; threads with nothing
        // else to do share its layers.
        const SharedCvLoops::Lend lend(m_work, m_loopWays, account);
        const QImage small = input();
        sight.labels = VisualAnalysisService::analyze(small, fileName, m_classifier);
        screenLook = ScreenKindClassifier::lookAt(small);
    };
    if (m_isInputMadeAside) {
        // A spare thread makes the copy at once, and the text starts sooner.
        labelling.post([label, page = image]() mutable {
            label([&page] { return ObjectClassifier::networkInput(std::exchange(page, QImage())); });
        });
    } else {
        labelling.post([label, small = ObjectClassifier::networkInput(image)] { label([&small] { return small; }); });
    }
    OCRService::Reading reading = OCRService::recognizeText(std::move(image), fileName, m_reader, {stop, budget});
    sight.text = std::move(reading.text);
    sight.reachedDeadline = reading.reachedDeadline;
    labelling.wait();
    ScreenKindClassifier::addLineLayout(screenLook, reading.lineBoxes, reading.pageSize);
    sight.stopped = stop.stop_requested();
    if (sight.text)
        addScreenKinds(sight.labels, *sight.text, screenLook);
    // The batch ends with its last file; until then this thread is better
    // spent on the other files' parts.
    m_work.helpWhileQueued();
    return sight;
}

void ServiceAnalyzer::addScreenKinds(QStringList& labels, const QString& text, const ScreenKindClassifier::Look& look)
{
    for (const QString& kind : ScreenKindClassifier::labels(text, look, VisualAnalysisService::confidenceThreshold)) {
        if (labels.size() >= VisualAnalysisService::maximumLabels)
            break;
        if (!labels.contains(kind))
            labels.append(kind);
    }
}

void ServiceAnalyzer::releaseModels()
{
    m_engines.releaseIdle();
    m_classifier.releaseNetworks();
    // Freed models and the blocks held for the run leave their pages with
    // the allocator; give them back.
    returnHeldLargeBlocks();
}
