#include "SoakHarness.h"

#include "core/DatabaseManager.h"
#include "core/JsonArrayCodec.h"
#include "core/SqliteConnection.h"
#include "core/SqliteStatement.h"
#include "core/Uuid.h"
#include "ingest/FolderWalker.h"
#include "ingest/SupportedFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QSet>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Soak {
namespace {
QList<Entry>& registry()
{
    static QList<Entry> list;
    return list;
}

// A connection that only reads, beside a child that may be writing.
SqliteConnection openForReading(const QString& dbPath)
{
    sqlite3* handle = nullptr;
    sqlite3_open_v2(dbPath.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
    SqliteConnection connection(handle);
    if (connection)
        sqlite3_busy_timeout(connection.get(), 5000);
    return connection;
}

QString singleText(const QString& dbPath, const char* sql, const QString& key)
{
    const SqliteConnection db = openForReading(dbPath);
    SqliteStatement statement(db.get(), sql);
    statement.bindText(1, key);
    return statement.step() == SQLITE_ROW ? statement.columnText(0) : QString();
}
} // namespace

bool add(Entry entry)
{
    registry().append(std::move(entry));
    std::sort(registry().begin(), registry().end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return true;
}

const QList<Entry>& entries()
{
    return registry();
}

QString argument(const QStringList& arguments, const QString& key, const QString& fallback)
{
    const qsizetype at = arguments.indexOf(key);
    return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : fallback;
}

Child::Child(const QString& name, const QStringList& arguments)
    : m_process(std::make_unique<QProcess>())
{
    // The log (standard error) too, so that a run can count what it says.
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(QCoreApplication::applicationFilePath(), QStringList{u"--child"_s, name} + arguments);
    m_process->waitForStarted(30000);
}

Child::~Child()
{
    if (isRunning())
        kill();
}

void Child::readLines()
{
    m_partial += m_process->readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        m_lines.append(QString::fromUtf8(m_partial.first(end)));
        m_partial.remove(0, end + 1);
    }
}

bool Child::waitForLine(const QString& prefix, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (true) {
        readLines();
        for (; m_seen < m_lines.size(); ++m_seen) {
            if (m_lines[m_seen].startsWith(prefix)) {
                ++m_seen;
                return true;
            }
        }
        if (!isRunning() || timer.elapsed() > timeoutMs)
            return false;
        m_process->waitForReadyRead(50);
    }
}

void Child::kill()
{
    m_process->kill();
    m_process->waitForFinished(30000);
    readLines();
}

bool Child::waitForExit(int timeoutMs)
{
    // waitForFinished() is false for a process that has ended already.
    const bool ended = !isRunning() || m_process->waitForFinished(timeoutMs);
    readLines();
    if (!ended)
        kill();
    return ended && m_process->exitStatus() == QProcess::NormalExit;
}

int Child::linesContaining(const QString& part) const
{
    return int(
        std::count_if(m_lines.cbegin(), m_lines.cend(), [&part](const QString& line) { return line.contains(part); }));
}

bool Child::isRunning() const
{
    return m_process->state() != QProcess::NotRunning;
}

bool writePicture(const QString& path, const QString& caption, std::mt19937& random)
{
    QImage image(160, 100, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(int(random() % 360), 60, 230));
    {
        QPainter painter(&image);
        for (int i = 0; i < 6; ++i)
            painter.fillRect(int(random() % 140), int(random() % 80), 20, 12, QColor::fromRgb(random()));
    }
    image.setText(u"Caption"_s, caption);
    return image.save(path, "PNG");
}

std::optional<QString> captionOf(const QString& path)
{
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image.text(u"Caption"_s);
}

int UserDataLedger::write(const QString& dbPath, int count, std::mt19937& random)
{
    DatabaseManager store(dbPath);
    QStringList ids;
    {
        const SqliteConnection db = openForReading(dbPath);
        SqliteStatement rows(db.get(), "SELECT id FROM screenshot ORDER BY id;");
        while (rows.step() == SQLITE_ROW)
            ids.append(rows.columnText(0));
    }
    int written = 0;
    for (int i = 0; i < count && !ids.isEmpty(); ++i) {
        const QString id = ids[qsizetype(random() % quint32(ids.size()))];
        UserData data = m_expected.value(id);
        data.tags.append(u"tag-%1"_s.arg(++m_serial));
        data.note = u"note %1 for %2"_s.arg(m_serial).arg(id.left(8));
        const std::optional<QUuid> uuid = parseUuid(id);
        if (uuid && store.saveUserData(*uuid, data.tags, data.note)) {
            m_expected.insert(id, data);
            ++written;
        }
    }
    return written;
}

QStringList UserDataLedger::ids() const
{
    QStringList ids = m_expected.keys();
    ids.sort();
    return ids;
}

int UserDataLedger::lost(const QString& dbPath) const
{
    const SqliteConnection db = openForReading(dbPath);
    SqliteStatement row(db.get(), "SELECT custom_tags, user_notes FROM screenshot WHERE id = ?;");
    int lost = 0;
    for (auto expected = m_expected.cbegin(); expected != m_expected.cend(); ++expected) {
        row.bindText(1, expected.key());
        const bool found = row.step() == SQLITE_ROW;
        const QStringList tags =
            found ? JsonArrayCodec::decodeStrings(row.columnBytes(0)).value_or(QStringList()) : QStringList();
        const QString note = found ? row.columnText(1) : QString();
        if (!found || tags != expected->tags || note != expected->note)
            ++lost;
        row.reset();
    }
    return lost;
}

LibraryCheck LibraryCheck::of(const QString& folder, const QString& dbPath)
{
    LibraryCheck check;
    const QStringList files = FolderWalker::walk(folder, SupportedFiles::extensions()).files;
    const QSet<QString> onDisk(files.cbegin(), files.cend());
    check.files = int(onDisk.size());

    const SqliteConnection db = openForReading(dbPath);
    SqliteStatement rows(db.get(), "SELECT filepath, ocr_text, embedding_json FROM screenshot;");
    QHash<QString, int> rowsAt;
    while (rows.step() == SQLITE_ROW) {
        ++check.rows;
        const QString path = rows.columnText(0);
        if (++rowsAt[path] > 1)
            ++check.duplicates;
        if (!onDisk.contains(path)) {
            ++check.staleRows;
            continue;
        }
        const std::optional<QString> text = rows.columnOptionalText(1);
        if (!text || rows.isNull(2))
            ++check.unanalysed;
        else if (*text != captionOf(path).value_or(QString()))
            ++check.wrongText;
    }
    for (const QString& path : onDisk)
        check.missingRows += rowsAt.contains(path) ? 0 : 1;
    return check;
}

QString idAtPath(const QString& dbPath, const QString& path)
{
    return singleText(dbPath, "SELECT id FROM screenshot WHERE filepath = ? LIMIT 1;", path);
}

QString pathOfId(const QString& dbPath, const QString& id)
{
    return singleText(dbPath, "SELECT filepath FROM screenshot WHERE id = ?;", id);
}

QString textAtPath(const QString& dbPath, const QString& path)
{
    return singleText(dbPath, "SELECT ocr_text FROM screenshot WHERE filepath = ? LIMIT 1;", path);
}

} // namespace Soak
