#pragma once

// A Trash in a scratch folder: each file goes into a folder of its own there,
// by way of the file steps given (so that a test or the soak can watch, hold
// or end the process at a move to the Trash as at any other step).

#include "platform/FileOps.h"
#include "platform/Trash.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

class ScratchTrash : public Trash
{
public:
    ScratchTrash(FileOps& fileOps, QString folder)
        : m_fileOps(fileOps)
        , m_folder(std::move(folder))
    {}

    Result moveToTrash(const QString& path) override
    {
        const QString bin = m_folder + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!QDir().mkpath(bin))
            return {false, {}, QStringLiteral("no Trash folder")};
        const QString target = bin + QLatin1Char('/') + QFileInfo(path).fileName();
        if (SafeFile::Outcome moved = m_fileOps.move(path, target); !moved)
            return {false, {}, moved.error};
        return {true, target, {}};
    }

    const QString& folder() const { return m_folder; }

private:
    FileOps& m_fileOps;
    QString m_folder;
};
