#pragma once

#include "core/Screenshot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A temporary folder of files and the list of screenshots that names them,
// with the awkward cases a library can hold: copies, near-copies, empty
// files, links, repeated listings, vanished files and FIFOs.
class DuplicateCorpus
{
public:
    explicit DuplicateCorpus(quint32 seed, const QString& folder = {})
        : m_random(seed)
        , m_folder(folder.isEmpty() ? m_dir.path() : folder)
    {
        QDir().mkpath(m_folder);
    }

    const QString& folder() const { return m_folder; }
    const QList<Screenshot>& list() const { return m_list; }
    qsizetype indexOf(const QUuid& id) const
    {
        for (qsizetype i = 0; i < m_list.size(); ++i) {
            if (m_list[i].id == id)
                return i;
        }
        return -1;
    }

    Screenshot add(const QString& name, const QByteArray& bytes, std::optional<QDateTime> created = {})
    {
        const QString path = m_folder + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        return addListing(path, created);
    }

    Screenshot addListing(const QString& path, std::optional<QDateTime> created = {})
    {
        Screenshot screenshot;
        screenshot.id = QUuid::createUuid();
        screenshot.filePath = path;
        screenshot.filename = QFileInfo(path).fileName();
        screenshot.dateCreated =
            created.value_or(QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(m_random.bounded(86400 * 300)));
        screenshot.fileSize = QFileInfo(path).size();
        m_list.append(screenshot);
        return screenshot;
    }

    Screenshot addHardLink(const QString& name, const Screenshot& of)
    {
        const QString path = m_folder + QLatin1Char('/') + name;
        ::link(QFile::encodeName(of.filePath).constData(), QFile::encodeName(path).constData());
        return addListing(path);
    }

    Screenshot addSymlink(const QString& name, const Screenshot& of)
    {
        const QString path = m_folder + QLatin1Char('/') + name;
        QFile::link(of.filePath, path);
        return addListing(path);
    }

    QString addFifo(const QString& name)
    {
        const QString path = m_folder + QLatin1Char('/') + name;
        ::mkfifo(QFile::encodeName(path).constData(), 0644);
        addListing(path);
        m_fifos.append(path);
        return path;
    }

    const QStringList& fifos() const { return m_fifos; }

    // Lets a reader that blocked on the FIFO go on.
    static void releaseFifo(const QString& path)
    {
        const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }

    // "device:inode" of the file at `path`, following nothing.
    static QString inodeKey(const QString& path)
    {
        struct stat info
        {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        return QString::number(info.st_dev) + QLatin1Char(':') + QString::number(info.st_ino);
    }

    // `count` files of random sizes (some above the 64 KiB that same-size
    // files are first compared by), then copies of some of them, files of an
    // existing size that differ in the last, the first or a middle byte only,
    // and a few empty files.
    void plantRandomLibrary(int count)
    {
        QList<QByteArray> originals;
        for (int i = 0; i < count; ++i) {
            const int size =
                m_random.bounded(8) == 0 ? 64 * 1024 + m_random.bounded(100'000) : m_random.bounded(1, 3000);
            originals.append(randomBytes(size));
            add(QStringLiteral("shot-%1.png").arg(i), originals.last());
        }
        for (int i = 0; i < count / 4; ++i) {
            const QByteArray& original = originals[m_random.bounded(originals.size())];
            add(QStringLiteral("copies/copy-%1.png").arg(i), original);
        }
        for (int i = 0; i < count / 6; ++i) {
            QByteArray near = originals[m_random.bounded(originals.size())];
            const qsizetype where = std::array{qsizetype(0), near.size() / 2, near.size() - 1}[i % 3];
            near[where] = char(near[where] ^ 0x5a);
            add(QStringLiteral("near/near-%1.png").arg(i), near);
        }
        for (int i = 0; i < 3; ++i)
            add(QStringLiteral("empty-%1.png").arg(i), {});
    }

    // A vanished file, a hard link and a symbolic link to listed files, a
    // path listed twice and a FIFO named like an image.
    void plantAwkwardMembers()
    {
        const Screenshot vanished = add(QStringLiteral("vanished.png"), m_list.first().filePath.toUtf8());
        QFile::remove(vanished.filePath);
        addHardLink(QStringLiteral("hard-link.png"), m_list[1]);
        addSymlink(QStringLiteral("symlink.png"), m_list[2]);
        addListing(m_list[3].filePath);
        addFifo(QStringLiteral("fifo.png"));
    }

private:
    QByteArray randomBytes(int size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(m_random.bounded(256));
        return bytes;
    }

    QRandomGenerator m_random;
    QTemporaryDir m_dir;
    QString m_folder;
    QList<Screenshot> m_list;
    QStringList m_fifos;
};
