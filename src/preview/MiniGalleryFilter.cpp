#include "preview/MiniGalleryFilter.h"

#include "library/SearchPool.h"
#include "library/SubstringFinder.h"
#include "library/TextFolder.h"

#include <algorithm>

namespace MiniGalleryFilter {

namespace {
constexpr SearchIndex::Field searchedFields[] = {SearchIndex::filename, SearchIndex::ocrText, SearchIndex::tagText,
                                                 SearchIndex::customTagText, SearchIndex::userNotes};

// Marks the members of `block` whose text in `field` holds the needle; after
// a hit the scan goes on at the next member's text.
void markMatches(const SearchIndex::Block& block, SearchIndex::Field field, const SubstringFinder& finder,
                 std::vector<quint8>& matched)
{
    const std::string& text = block.texts[field];
    const std::vector<quint32>& starts = block.starts[field];
    if (text.empty() || starts.size() < 2)
        return;
    const char* base = text.data();
    const char* end = base + starts.back();
    const char* at = base;
    while (at < end) {
        const char* hit = finder.find(at, end);
        if (hit == end)
            return;
        const auto offset = quint32(hit - base);
        const auto member = size_t(std::upper_bound(starts.begin(), starts.end(), offset) - starts.begin() - 1);
        matched[member] = 1;
        at = base + starts[member + 1];
    }
}
} // namespace

bool matches(const Screenshot& screenshot, const QString& text, const TextFolder& folder)
{
    if (text.isEmpty())
        return true;
    const std::string needle = folder.forContains(text);
    const auto contains = [&](const QString& field) {
        return folder.forContains(field).find(needle) != std::string::npos;
    };
    const auto anyContains = [&](const QStringList& list) { return std::any_of(list.begin(), list.end(), contains); };
    return contains(screenshot.filename) || (screenshot.ocrText && contains(*screenshot.ocrText)) ||
           anyContains(screenshot.tags) || anyContains(screenshot.customTags) ||
           (screenshot.userNotes && contains(*screenshot.userNotes));
}

std::optional<std::vector<qsizetype>> matchingPositions(const SearchIndex& index, const std::string& foldedNeedle,
                                                        QThreadPool& pool, const std::atomic<bool>& cancelled)
{
    const SubstringFinder finder(foldedNeedle);
    const std::vector<SearchIndex::Placement>& blocks = index.blocks();
    std::vector<std::vector<qsizetype>> found(blocks.size());
    SearchPool::parallelFor(pool, qsizetype(blocks.size()), [&](qsizetype k) {
        if (cancelled)
            return;
        const SearchIndex::Block& block = *blocks[size_t(k)].block;
        std::vector<quint8> matched(size_t(block.count), 0);
        for (const SearchIndex::Field field : searchedFields)
            markMatches(block, field, finder, matched);
        for (qsizetype member = 0; member < block.count; ++member) {
            if (matched[size_t(member)])
                found[size_t(k)].push_back(blocks[size_t(k)].first + member);
        }
    });
    if (cancelled)
        return std::nullopt;
    std::vector<qsizetype> positions;
    for (const std::vector<qsizetype>& part : found)
        positions.insert(positions.end(), part.begin(), part.end());
    return positions;
}

std::optional<QList<Screenshot>> filter(const QList<Screenshot>& library, const QString& text,
                                        SearchIndex::Cache& cache, quint64 generation, QThreadPool& pool,
                                        const std::atomic<bool>& cancelled)
{
    if (text.isEmpty())
        return library;
    const std::shared_ptr<const SearchIndex> index = cache.indexFor(library, generation, pool, cancelled);
    if (!index)
        return std::nullopt;
    const std::optional<std::vector<qsizetype>> positions =
        matchingPositions(*index, index->folder().forContains(text), pool, cancelled);
    if (!positions)
        return std::nullopt;
    QList<Screenshot> result;
    result.reserve(qsizetype(positions->size()));
    for (const qsizetype position : *positions)
        result.append(library[position]);
    return result;
}

} // namespace MiniGalleryFilter
