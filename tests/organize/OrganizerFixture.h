#pragma once

#include "ViewModelFixture.h"

#include "core/LogTimer.h"
#include "organize/OrganizeService.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

// The scratch library of ViewModelFixture (not granted to the monitor)
// with a service over it; any step of the file operations may be made to fail.
class OrganizerFixture : public ViewModelFixture
{
protected:
    // A file below the base folder (or anywhere, given an absolute path),
    // dated `date`, with its row in the store unless the caller stores it.
    Screenshot addFile(const QString& path, const QDateTime& date, const QByteArray& content = {}, bool store = true)
    {
        const QString absolute = QDir::isAbsolutePath(path) ? path : m_base + u'/' + path;
        QDir().mkpath(QFileInfo(absolute).absolutePath());
        QFile file(absolute);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.isEmpty() ? absolute.toUtf8() : content);
        file.close();
        Screenshot screenshot(absolute, QUuid::createUuid());
        screenshot.dateCreated = date;
        if (store)
            m_store.upsert(screenshot);
        return screenshot;
    }

    OrganizeService::OrganizationOptions options(bool year, bool month, bool subfolders) const
    {
        return {QUrl::fromLocalFile(m_base), year, month, subfolders};
    }

    QString rowPath(const Screenshot& screenshot)
    {
        for (const Screenshot& row : pageOfAll())
            if (row.id == screenshot.id)
                return row.filePath;
        return {};
    }

    QList<Screenshot> pageOfAll()
    {
        LogTimer timer(QStringLiteral("test"));
        return m_store.fetchPage(std::nullopt, 1'000'000, 0, true, timer);
    }

    // Every regular file below `folder`, relative to it, sorted.
    static QStringList tree(const QString& folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(QDir(folder).relativeFilePath(it.next()));
        files.sort();
        return files;
    }

    const QString& m_base = m_folder;
    OrganizeService m_service{m_store, m_monitor, m_fileOps, dataFolder()};
};
