#include "preview/MiniGalleryFilter.h"

#include "library/SearchPool.h"
#include "library/SubstringFinder.h"
#include "library/TextFolder.h"

#include <algorithm>

namespace MiniGalleryFilter {

namespace {
constexpr SearchIndex::Field searchedFields[] = {SearchIndex::filename, SearchIndex::ocrText, SearchIndex::tagText,
                                                 SearchIndex::customTagText, SearchIndex::userNotes};

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

std::optional<std::vector<qsizetype>> matchingPositions(const QList<Screenshot>& library, const SearchIndex& index,
                                                        const std::string& foldedNeedle, QThreadPool& pool,
                                                        const std::atomic<bool>& cancelled)
{
    const SubstringFinder finder(foldedNeedle);
    const std::vector<SearchIndex::Placement>& blocks = index.blocks();
    std::vector<std::vector<qsizetype>> found(blocks.size());
    SearchPool::parallelFor(pool, qsizetype(blocks.size()), [&](qsizetype k) {
        if (cancelled)
            return;
        const SearchIndex::Block& block = *blocks[size_t(k)].block;
        if (!block.mayContain(finder.needle()))
            return;
        std::vector<quint8> matched(size_t(block.count), 0);
        for (const SearchIndex::Field field : searchedFields)
            block.markHolders(field, finder, 0, block.count, library, blocks[size_t(k)].first, {matched.data(), 1, 1});
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
        matchingPositions(library, *index, index->folder().forContains(text), pool, cancelled);
    if (!positions)
        return std::nullopt;
    QList<Screenshot> result;
    result.reserve(qsizetype(positions->size()));
    for (const qsizetype position : *positions)
        result.append(library[position]);
    return result;
}

} // namespace MiniGalleryFilter
