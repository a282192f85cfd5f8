// Runs the space saver over every PNG of a folder with a store of its own,
// printing each step as it goes; the crash test kills it halfway.
//
//   spacesaver_compress_probe FOLDER STORE

#include "core/DatabaseManager.h"
#include "platform/FileOps.h"
#include "spacesaver/CompressionService.h"

#include <QCoreApplication>
#include <QDir>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString folder = app.arguments().at(1);
    DatabaseManager store(app.arguments().at(2));
    QList<Screenshot> screenshots;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name)) {
        const Screenshot screenshot(QDir(folder).filePath(name), QUuid::createUuid());
        store.upsert(screenshot);
        screenshots.append(screenshot);
    }
    SystemFileOps fileOps;
    const CompressionService service(store, fileOps);
    const CompressionService::CompressionOptions options{0.9, 2};
    const auto plan = service.analyzeForCompression(screenshots, options);
    const auto result = service.compress(plan.files, options, folder, {});
    return result.success ? 0 : 1;
}
