#include "platform/FileOps.h"

SafeFile::Outcome SystemFileOps::move(const QString& from, const QString& to)
{
    return SafeFile::moveNoReplace(from, to);
}

SafeFile::Outcome SystemFileOps::makeFolder(const QString& path)
{
    return SafeFile::makeFolder(path);
}

SafeFile::Outcome SystemFileOps::write(const QString& path, const QByteArray& bytes, Write mode)
{
    return mode == Write::Replace ? SafeFile::writeAtomically(path, bytes) : SafeFile::writeNewFile(path, bytes);
}

SafeFile::Outcome SystemFileOps::remove(const QString& path)
{
    return SafeFile::removeRegular(path);
}

SafeFile::Outcome SystemFileOps::setTimes(const QString& path, const SafeFile::FileTimes& times)
{
    return SafeFile::setTimes(path, times);
}
