#include "Reading.h"
#include "generators/SampleLibrary.h"
#include "ingest/OCRService.h"
#include "support/Capture.h"

#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <future>

#include <unistd.h>

using namespace Qt::StringLiterals;

TEST(OCRServiceExtractUrls, GivesTheLinksOfATextInOrderWithDuplicates)
{
    ConsoleCapture console;
    const QList<QUrl> urls =
        OCRService::extractUrls(u"Docs at example.com/guide, mirror https://example.com/guide and example.com/guide"_s);
    EXPECT_EQ(urls, QList<QUrl>({QUrl(u"http://example.com/guide"_s), QUrl(u"https://example.com/guide"_s),
                                 QUrl(u"http://example.com/guide"_s)}));
    EXPECT_TRUE(console.lines().isEmpty());
}

TEST(OCRServiceExtractUrls, EmptyAndLinklessTextsGiveNothing)
{
    EXPECT_TRUE(OCRService::extractUrls(QString()).isEmpty());
    EXPECT_TRUE(OCRService::extractUrls(u""_s).isEmpty());
    EXPECT_TRUE(OCRService::extractUrls(u"Total 42, see readme.md"_s).isEmpty());
}

namespace {
struct Line
{
    QString text;
    QColor ink;
    QColor background; // filled behind the line, as bubbles and panels are
};

// A 1440 × 900 window of the given colour holding the lines at screen text
// size, one below the other.
QString writeScreenshot(const QTemporaryDir& dir, const QString& name, const QColor& window, const QList<Line>& lines)
{
    QImage image(1440, 900, QImage::Format_RGB32);
    image.fill(window);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font(u"Inter"_s);
    font.setPixelSize(18);
    painter.setFont(font);
    int y = 120;
    for (const Line& line : lines) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(line.background);
        painter.drawRoundedRect(QRect(80, y - 34, 900, 52), 18, 18);
        painter.setPen(line.ink);
        painter.drawText(104, y, line.text);
        y += 90;
    }
    painter.end();
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path));
    return path;
}

// Whatever the process writes to its standard error while alive.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }

    QByteArray take()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

QString timerEndLine(const LogCapture& log, const QString& fileName)
{
    const QStringList lines = log.matching(u"Timer ended | file="_s + fileName + u',');
    return lines.size() == 1 ? lines.first() : QString();
}

QStringList warningsAndErrors(const LogCapture& log)
{
    QStringList lines;
    for (const LogCapture::Entry& entry : log.entries()) {
        if (entry.type == QtWarningMsg || entry.type == QtCriticalMsg)
            lines.append(entry.message);
    }
    return lines;
}
} // namespace

TEST(OCRServiceRecognizeText, ReadsTextAndLinksInLightAndDarkThemes)
{
    Reading reading;
    QTemporaryDir dir;
    const QColor white(Qt::white), black(0x1d, 0x1d, 0x1f), dark(0x1e, 0x1e, 0x1e), light(0xee, 0xee, 0xee);
    const QList<Line> onLight{{u"Total 42"_s, black, white},
                              {u"Docs at https://example.com/guide/setup"_s, black, white}};
    const QList<Line> onDark{{u"Total 42"_s, light, dark}, {u"Docs at https://example.com/guide/setup"_s, light, dark}};

    for (const QString& path :
         {writeScreenshot(dir, u"light.png"_s, white, onLight), writeScreenshot(dir, u"dark.png"_s, dark, onDark)}) {
        SCOPED_TRACE(path.toStdString());
        const std::optional<QString> text = OCRService::recognizeText(path, reading.reader);
        ASSERT_TRUE(text.has_value());
        EXPECT_TRUE(text->simplified().contains(u"Total 42"_s)) << text->toStdString();
        EXPECT_TRUE(OCRService::extractUrls(*text).contains(QUrl(u"https://example.com/guide/setup"_s)))
            << text->toStdString();
    }
}

TEST(OCRServiceRecognizeText, ReadsEveryPolarityInOneScreenshot)
{
    Reading reading;
    // A light window holding a terminal, a blue chat bubble and dim grey text.
    QTemporaryDir dir;
    const QString path = writeScreenshot(
        dir, u"mixed.png"_s, Qt::white,
        {{u"Invoice total due Friday"_s, QColor(0x1d, 0x1d, 0x1f), Qt::white},
         {u"error: build failed with exit code 2"_s, QColor(0xe5, 0xe5, 0xe5), QColor(0x0c, 0x0c, 0x0c)},
         {u"Dinner reservation on Saturday"_s, Qt::white, QColor(0x25, 0x63, 0xeb)},
         {u"Shared with the design team"_s, QColor(0x9a, 0x9a, 0xa0), QColor(0x2a, 0x2a, 0x2e)}});
    const QString text = OCRService::recognizeText(path, reading.reader).value_or(QString()).simplified();
    for (const QString& expected : {u"Invoice total due Friday"_s, u"error: build failed with exit code 2"_s,
                                    u"Dinner reservation on Saturday"_s, u"Shared with the design team"_s})
        EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " in: " << text.toStdString();
}

TEST(OCRServiceRecognizeText, FewerThanSixCharactersGiveNoTextAndNoWarning)
{
    Reading reading;
    QTemporaryDir dir;
    const QColor ink(0x1d, 0x1d, 0x1f);
    const QString five = writeScreenshot(dir, u"five.png"_s, Qt::white, {{u"OK 12"_s, ink, Qt::white}});
    const QString six = writeScreenshot(dir, u"six.png"_s, Qt::white, {{u"Hello!"_s, ink, Qt::white}});
    LogCapture log;

    EXPECT_EQ(OCRService::recognizeText(five, reading.reader), std::nullopt);
    EXPECT_TRUE(warningsAndErrors(log).isEmpty()) << warningsAndErrors(log).join(u'\n').toStdString();
    EXPECT_TRUE(timerEndLine(log, u"five.png"_s).contains(u"success=false, textLength=0"_s));

    EXPECT_EQ(OCRService::recognizeText(six, reading.reader), std::optional<QString>(u"Hello!"_s));
    EXPECT_TRUE(timerEndLine(log, u"six.png"_s).contains(u"success=true, textLength=6"_s));
}

TEST(OCRServiceRecognizeText, UnloadableFilesWarnAndStillEndTheTimer)
{
    Reading reading;
    QTemporaryDir dir;
    const QString missing = dir.filePath(u"gone.png"_s);
    const QString recording = dir.filePath(u"Screen Recording.mov"_s);
    QString error;
    ASSERT_TRUE(SampleLibrary::writeRecording(recording, QSize(320, 200), 1, &error)) << error.toStdString();

    for (const QString& path : {missing, recording}) {
        const QString fileName = QFileInfo(path).fileName();
        LogCapture log;
        EXPECT_EQ(OCRService::recognizeText(path, reading.reader), std::nullopt);
        const QStringList messages = log.messages();
        const auto indexOf = [&messages](const QString& part) {
            for (qsizetype i = 0; i < messages.size(); ++i) {
                if (messages[i].contains(part))
                    return i;
            }
            return qsizetype(-1);
        };
        const qsizetype warning = indexOf(u"[OCR] [WARNING] Failed to load image | file="_s + fileName);
        const qsizetype end =
            indexOf(u"Timer ended | file="_s + fileName + u", success=false, textLength=0, id=ocr_"_s + fileName);
        EXPECT_GE(warning, 0) << messages.join(u'\n').toStdString();
        EXPECT_GT(end, warning) << messages.join(u'\n').toStdString();
    }
}

TEST(OCRServiceRecognizeText, ConcurrentRecognitionsMatchSerialOnesAndStayQuiet)
{
    Reading reading;
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < 4; ++i) {
        SampleLibrary::Drawing drawing = SampleLibrary::draw(
            11, i, QSize(1280, 800), i % 2 ? SampleLibrary::Appearance::dark : SampleLibrary::Appearance::light);
        paths.append(dir.filePath(u"shot-%1.png"_s.arg(i)));
        ASSERT_TRUE(drawing.image.save(paths.last()));
    }
    std::vector<std::optional<QString>> serial;
    for (const QString& path : paths)
        serial.push_back(OCRService::recognizeText(path, reading.reader));

    // Engines made on fresh threads must not write their chatter to the console.
    LogCapture log; // our own log lines are collected, not printed
    StderrCapture stderrCapture;
    std::vector<std::future<std::optional<QString>>> concurrent;
    for (const QString& path : paths)
        concurrent.push_back(std::async(std::launch::async,
                                        [path, &reading] { return OCRService::recognizeText(path, reading.reader); }));
    for (size_t i = 0; i < concurrent.size(); ++i) {
        const std::optional<QString> text = concurrent[i].get();
        ASSERT_TRUE(serial[i].has_value());
        EXPECT_EQ(text, serial[i]) << paths[qsizetype(i)].toStdString();
    }
    const QByteArray chatter = stderrCapture.take();
    EXPECT_TRUE(chatter.isEmpty()) << chatter.toStdString();
}
