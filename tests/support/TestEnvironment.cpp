#include "support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {
std::unique_ptr<QTemporaryDir>& homeDir()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

void setPath(const char* name, const QString& path)
{
    QDir().mkpath(path);
    qputenv(name, QFile::encodeName(path));
}
} // namespace

void TestEnvironment::isolate()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    homeDir() = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/glimmerdeck-test-XXXXXX"));
    const QString root = homeDir()->path();
    setPath("HOME", root);
    setPath("XDG_DATA_HOME", root + QStringLiteral("/.local/share"));
    setPath("XDG_CONFIG_HOME", root + QStringLiteral("/.config"));
    setPath("XDG_CACHE_HOME", root + QStringLiteral("/.cache"));
    qunsetenv("XDG_RUNTIME_DIR");
}

QString TestEnvironment::home()
{
    return homeDir() ? homeDir()->path() : QString();
}
