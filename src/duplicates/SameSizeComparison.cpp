#include "duplicates/SameSizeComparison.h"

#include "core/Console.h"

#include <QHash>

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <sys/stat.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 kFirstChunk = 64 * 1024; // most files that differ, differ early
constexpr qint64 kChunk = 1024 * 1024;

using Digest = SameSizeComparison::Digest;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

DigestContext newContext()
{
    DigestContext context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
    return context;
}

DigestContext copyOf(const DigestContext& context)
{
    DigestContext copy(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_MD_CTX_copy_ex(copy.get(), context.get());
    return copy;
}

QString finish(EVP_MD_CTX* context)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex());
}

void cannotOpen(const QString& path)
{
    Console::printLine(u"⚠️ DUPLICATES: Cannot open file: "_s + path);
}

void cannotRead(const QString& path)
{
    Console::printLine(u"⚠️ DUPLICATES: Error reading file: "_s + path);
}

// A digest describes a file only when the file did not change while it was
// read.
bool unchangedSinceOpened(const SafeFile::OpenedFile& file)
{
    struct stat now
    {};
    return ::fstat(file.handle.descriptor(), &now) == 0 && qint64(now.st_size) == file.stamp.size &&
           qint64(now.st_mtim.tv_sec) * 1'000'000'000 + now.st_mtim.tv_nsec == file.stamp.modifiedNs;
}

// Reading buffers kept per thread: a fresh megabyte per file would cost page
// faults on every allocation.
QByteArray& scratch(size_t slot)
{
    thread_local std::vector<QByteArray> buffers;
    if (buffers.size() <= slot)
        buffers.resize(slot + 1);
    if (buffers[slot].size() < kChunk)
        buffers[slot] = QByteArray(kChunk, Qt::Uninitialized);
    return buffers[slot];
}

struct Member
{
    qsizetype path = 0; // index into the compared paths
    SafeFile::OpenedFile file;
    qint64 offset = 0;
    qint64 lastRead = 0;
    bool failed = false;
};

// Members whose bytes so far are equal, with the digest of those bytes.
struct EqualSet
{
    std::vector<size_t> members;
    DigestContext context{nullptr, EVP_MD_CTX_free};
};

class Lockstep
{
public:
    Lockstep(const QStringList& paths, std::atomic<qint64>& bytesRead, QList<std::optional<Digest>>& result)
        : m_paths(paths)
        , m_bytesRead(bytesRead)
        , m_result(result)
    {}

    void run(const QList<qsizetype>& which)
    {
        openAll(which);
        // A file that grew or shrank since the files were sized is compared
        // only with files of its size at open: each set reads to the end of
        // its own members, never to the end of another file.
        std::vector<EqualSet> sets;
        for (size_t i = 0; i < m_members.size(); ++i) {
            const qint64 size = m_members[i].file.stamp.size;
            auto set = std::find_if(sets.begin(), sets.end(), [&](const EqualSet& candidate) {
                return m_members[candidate.members.front()].file.stamp.size == size;
            });
            if (set == sets.end()) {
                sets.push_back({{i}, newContext()});
                continue;
            }
            set->members.push_back(i);
        }
        std::erase_if(sets, [](const EqualSet& set) { return set.members.size() < 2; });
        qint64 chunk = kFirstChunk;
        while (!sets.empty()) {
            std::vector<EqualSet> next;
            for (EqualSet& set : sets)
                advance(set, chunk, next);
            sets = std::move(next);
            chunk = kChunk;
        }
    }

private:
    void openAll(const QList<qsizetype>& which)
    {
        for (const qsizetype path : which) {
            std::optional<SafeFile::OpenedFile> file = SafeFile::openRegular(m_paths[path]);
            if (!file) {
                cannotOpen(m_paths[path]);
                continue;
            }
            file->handle.adviseSequential();
            m_members.push_back({path, std::move(*file)});
        }
    }

    const char* chunkOf(size_t member) { return scratch(member).constData(); }

    void readChunk(size_t index, qint64 size)
    {
        Member& member = m_members[index];
        const qint64 n = member.file.handle.read(scratch(index).data(), size);
        if (n < 0) {
            member.failed = true;
            cannotRead(m_paths[member.path]);
            return;
        }
        member.lastRead = n;
        member.offset += n;
        m_bytesRead += n;
    }

    bool sameChunk(size_t a, size_t b)
    {
        return m_members[a].lastRead == m_members[b].lastRead &&
               std::memcmp(chunkOf(a), chunkOf(b), size_t(m_members[a].lastRead)) == 0;
    }

    // Reads the next chunk of every member of `set` and carries the members
    // that still agree with one another into `next`.
    void advance(EqualSet& set, qint64 chunk, std::vector<EqualSet>& next)
    {
        const qint64 size = m_members[set.members.front()].file.stamp.size;
        const bool atEnd = m_members[set.members.front()].offset >= size;
        if (!atEnd) {
            for (const size_t member : set.members)
                readChunk(member, chunk);
        }
        std::vector<std::vector<size_t>> parts;
        for (const size_t member : set.members) {
            if (m_members[member].failed)
                continue;
            auto part = atEnd ? parts.begin() : std::find_if(parts.begin(), parts.end(), [&](const auto& p) {
                return sameChunk(p.front(), member);
            });
            if (part == parts.end())
                parts.push_back({member});
            else
                part->push_back(member);
        }
        std::erase_if(parts, [](const auto& part) { return part.size() < 2; });
        for (size_t i = 0; i < parts.size(); ++i) {
            EqualSet carried{std::move(parts[i]), i + 1 < parts.size() ? copyOf(set.context) : std::move(set.context)};
            if (atEnd) {
                finishSet(carried);
                continue;
            }
            const size_t first = carried.members.front();
            EVP_DigestUpdate(carried.context.get(), chunkOf(first), size_t(m_members[first].lastRead));
            next.push_back(std::move(carried));
        }
    }

    void finishSet(EqualSet& set)
    {
        const QString hash = finish(set.context.get());
        for (const size_t index : set.members) {
            const Member& member = m_members[index];
            if (unchangedSinceOpened(member.file))
                m_result[member.path] = Digest{hash, member.file.stamp};
            else
                cannotRead(m_paths[member.path]);
        }
    }

    const QStringList& m_paths;
    std::atomic<qint64>& m_bytesRead;
    QList<std::optional<Digest>>& m_result;
    std::vector<Member> m_members;
};
} // namespace

std::optional<Digest> SameSizeComparison::digestOf(const QString& path, std::atomic<qint64>& bytesRead, qint64 limit)
{
    std::optional<SafeFile::OpenedFile> file = SafeFile::openRegular(path);
    if (!file) {
        cannotOpen(path);
        return std::nullopt;
    }
    file->handle.adviseSequential();
    QByteArray& buffer = scratch(0);
    DigestContext context = newContext();
    qint64 remaining = limit < 0 ? std::numeric_limits<qint64>::max() : limit;
    while (remaining > 0) {
        const qint64 n = file->handle.read(buffer.data(), std::min<qint64>(buffer.size(), remaining));
        if (n < 0) {
            cannotRead(path);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytesRead += n;
        EVP_DigestUpdate(context.get(), buffer.constData(), size_t(n));
        remaining -= n;
    }
    if (!unchangedSinceOpened(*file)) {
        cannotRead(path);
        return std::nullopt;
    }
    return Digest{finish(context.get()), file->stamp};
}

QList<std::optional<Digest>> SameSizeComparison::compare(const QStringList& paths, std::atomic<qint64>& bytesRead)
{
    QList<std::optional<Digest>> result(paths.size());
    if (paths.size() <= maxOpenFiles) {
        QList<qsizetype> all(paths.size());
        std::iota(all.begin(), all.end(), 0);
        Lockstep(paths, bytesRead, result).run(all);
        return result;
    }
    // Too many to hold open: sort them by their beginnings first.
    QHash<QString, QList<qsizetype>> byBeginning;
    QStringList order;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (const auto beginning = digestOf(paths[i], bytesRead, kFirstChunk)) {
            if (!byBeginning.contains(beginning->hash))
                order.append(beginning->hash);
            byBeginning[beginning->hash].append(i);
        }
    }
    for (const QString& beginning : std::as_const(order)) {
        const QList<qsizetype>& alike = byBeginning[beginning];
        if (alike.size() < 2)
            continue;
        if (alike.size() <= maxOpenFiles) {
            Lockstep(paths, bytesRead, result).run(alike);
            continue;
        }
        for (const qsizetype i : alike)
            result[i] = digestOf(paths[i], bytesRead);
    }
    return result;
}
