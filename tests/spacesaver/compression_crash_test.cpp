#include "CompressionFixture.h"
#include "support/Wait.h"

#include <QProcess>

using namespace Qt::StringLiterals;

// The process dies halfway through a run (power cut, kill): whatever it had
// done, every image is still there as it was.
TEST(CompressionCrash, KillingARunHalfwayLosesNoImage)
{
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).filePath(u"Desktop"_s);
    QDir().mkpath(folder);
    QMap<QString, QByteArray> originals;
    for (int i = 0; i < 12; ++i) {
        const QString file = QDir(folder).filePath(u"shot-%1.png"_s.arg(i, 2, 10, QChar(u'0')));
        ASSERT_TRUE(images::photo(QSize(640, 400 + i)).save(file));
        originals.insert(file, CompressionFixture::hashOf(file));
    }

    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral(COMPRESS_PROBE), {folder, QDir(dir.path()).filePath(u"store.sqlite"_s)});
    QByteArray output;
    // Killed once a few renditions are in place and their rows point at
    // them: the images they replace must still be there.
    const bool halfway = waitUntil(
        [&] {
            output += probe.readAll();
            return output.contains("✅ [3/12]") || probe.state() == QProcess::NotRunning;
        },
        60000);
    probe.kill();
    probe.waitForFinished();
    ASSERT_TRUE(halfway);
    ASSERT_FALSE(output.contains("COMPRESS: Complete")) << "the run ended before it could be killed";

    for (auto it = originals.cbegin(); it != originals.cend(); ++it)
        EXPECT_EQ(CompressionFixture::hashOf(it.key()), it.value()) << it.key().toStdString();
    EXPECT_GE(QDir(folder).entryList({u"*.heic"_s}, QDir::Files).size(), 3) << output.toStdString();
}
