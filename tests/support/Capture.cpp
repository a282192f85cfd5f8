#include "support/Capture.h"

#include "core/Console.h"

struct ConsoleCapture::State
{
    mutable std::mutex mutex;
    QStringList lines;
};

namespace {
QStringList filtered(const QStringList& lines, const QString& part)
{
    QStringList result;
    for (const QString& line : lines) {
        if (line.contains(part))
            result.append(line);
    }
    return result;
}
} // namespace

ConsoleCapture::ConsoleCapture()
    : m_state(std::make_shared<State>())
{
    Console::setSink([state = m_state](const QString& line) {
        std::lock_guard lock(state->mutex);
        state->lines.append(line);
    });
}

ConsoleCapture::~ConsoleCapture()
{
    Console::setSink({});
}

QStringList ConsoleCapture::lines() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->lines;
}

QStringList ConsoleCapture::matching(const QString& part) const
{
    return filtered(lines(), part);
}

void ConsoleCapture::clear()
{
    std::lock_guard lock(m_state->mutex);
    m_state->lines.clear();
}

namespace {
std::mutex g_logMutex;
QList<LogCapture::Entry> g_logEntries;
QtMessageHandler g_previousHandler = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    std::lock_guard lock(g_logMutex);
    g_logEntries.append({type, QString::fromUtf8(context.category ? context.category : ""), message});
}
} // namespace

LogCapture::LogCapture()
{
    clear();
    g_previousHandler = qInstallMessageHandler(collect);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(g_previousHandler);
}

QList<LogCapture::Entry> LogCapture::entries() const
{
    std::lock_guard lock(g_logMutex);
    return g_logEntries;
}

QStringList LogCapture::messages() const
{
    QStringList result;
    for (const Entry& entry : entries())
        result.append(entry.message);
    return result;
}

QStringList LogCapture::matching(const QString& part) const
{
    return filtered(messages(), part);
}

void LogCapture::clear()
{
    std::lock_guard lock(g_logMutex);
    g_logEntries.clear();
}
