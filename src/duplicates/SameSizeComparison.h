#pragma once

#include "platform/SafeFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <optional>

// Tells which of a few files of one size hold the same bytes, and the SHA-256
// digest of each set of identical files. The files are read side by side,
// chunk by chunk: a file stops being read as soon as it differs from all the
// others, and each digest is computed once per set of identical files, from
// bytes that were compared equal in every member.
class SameSizeComparison
{
public:
    struct Digest
    {
        QString hash; // SHA-256, lower-case hexadecimal
        SafeFile::FileStamp stamp;
    };

    // More files than this are not held open at once; larger sets are first
    // told apart by a digest of their beginnings.
    static constexpr int maxOpenFiles = 64;

    // For each path, its digest when it equals at least one other path's
    // content; nothing for a file unlike the others or that cannot be read
    // (a console line names the latter). `bytesRead` grows by what was read.
    static QList<std::optional<Digest>> compare(const QStringList& paths, std::atomic<qint64>& bytesRead);

    // The digest of one file's whole content, or of its first `limit` bytes;
    // nothing (and a console line) when it cannot be opened or read, or
    // changed while being read.
    static std::optional<Digest> digestOf(const QString& path, std::atomic<qint64>& bytesRead, qint64 limit = -1);
};
