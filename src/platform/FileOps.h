#pragma once

#include "platform/SafeFile.h"

// The file-changing steps of the tools, behind one interface so that tests can
// make any single step fail (the tests run as root, where taking permissions
// away does not make anything fail).
class FileOps
{
public:
    enum class Write {
        Replace,   // all at once over whatever is there (history and undo files)
        CreateNew, // only where nothing is yet (temporary renditions)
    };

    virtual ~FileOps() = default;

    virtual SafeFile::Outcome move(const QString& from, const QString& to) = 0; // never replaces
    virtual SafeFile::Outcome makeFolder(const QString& path) = 0;
    virtual SafeFile::Outcome write(const QString& path, const QByteArray& bytes, Write mode) = 0;
    virtual SafeFile::Outcome remove(const QString& path) = 0; // regular files only
    virtual SafeFile::Outcome setTimes(const QString& path, const SafeFile::FileTimes& times) = 0;
};

// The real file system, through SafeFile.
class SystemFileOps : public FileOps
{
public:
    SafeFile::Outcome move(const QString& from, const QString& to) override;
    SafeFile::Outcome makeFolder(const QString& path) override;
    SafeFile::Outcome write(const QString& path, const QByteArray& bytes, Write mode) override;
    SafeFile::Outcome remove(const QString& path) override;
    SafeFile::Outcome setTimes(const QString& path, const SafeFile::FileTimes& times) override;
};
