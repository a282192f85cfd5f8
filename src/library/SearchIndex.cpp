#include "library/SearchIndex.h"

#include "library/SearchPool.h"

#include <QHash>
#include <QTimeZone>

#include <algorithm>
#include <bit>
#include <cmath>
#include <malloc.h>
#include <span>
#include <unordered_map>
#include <utility>

namespace {
// Blocks hold about 600 screenshots (a megabyte of text or less): enough to
// spread a search over the cores, few enough to stay in a core's cache
// while all the terms of a query are looked for.
constexpr qsizetype kMinimumBlock = 128;
constexpr size_t kBlockDivisor = 512;
constexpr qsizetype kMaximumBlock = 2048;
constexpr qint64 kJulianDayOf1970 = 2440588;
constexpr qint64 kMSecsPerDay = 86'400'000;

struct Range
{
    qsizetype first = 0;
    qsizetype count = 0;
};

std::vector<Range> blockRanges(const QList<Screenshot>& library)
{
    std::vector<Range> ranges;
    qsizetype first = 0;
    for (qsizetype i = 0; i < library.size(); ++i) {
        const qsizetype count = i - first + 1;
        const bool endsHere = count >= kMaximumBlock ||
                              (count >= kMinimumBlock && qHash(library.at(i).id, 0) % kBlockDivisor == 0) ||
                              i + 1 == library.size();
        if (endsHere) {
            ranges.push_back({first, count});
            first = i + 1;
        }
    }
    return ranges;
}

// Milliseconds since 1970 of local times without asking the time zone for
// every file (each question reads the zone's rules again): a day's offset
// is looked up once, and only days with a clock change are done per file.
class EpochTimes
{
public:
    qint64 msecs(const QDateTime& time)
    {
        if (!time.isValid())
            return SearchIndex::unknownTime;
        if (time.timeSpec() != Qt::LocalTime)
            return time.toMSecsSinceEpoch();
        const QDate date = time.date();
        const std::optional<int> offset = offsetOfDay(date);
        if (!offset)
            return time.toMSecsSinceEpoch();
        return (date.toJulianDay() - kJulianDayOf1970) * kMSecsPerDay + time.time().msecsSinceStartOfDay() -
               qint64(*offset) * 1000;
    }

private:
    std::optional<int> offsetOfDay(const QDate& date)
    {
        const auto [found, isNew] = m_offsets.try_emplace(date.toJulianDay());
        if (isNew) {
            const int atStart = QDateTime(date, QTime(0, 0)).offsetFromUtc();
            const int atEnd = QDateTime(date, QTime(23, 59, 59, 999)).offsetFromUtc();
            if (atStart == atEnd)
                found->second = atStart;
        }
        return found->second;
    }

    std::unordered_map<qint64, std::optional<int>> m_offsets;
};

class BlockWriter
{
public:
    BlockWriter(SearchIndex::Block& block, const TextFolder& folder)
        : m_block(block)
        , m_folder(folder)
    {}

    void reserve(const QList<Screenshot>& library, const Range& range)
    {
        size_t ocrSize = 0;
        size_t notesSize = 0;
        for (qsizetype i = range.first; i < range.first + range.count; ++i) {
            const Screenshot& screenshot = library.at(i);
            ocrSize += size_t(screenshot.ocrText ? screenshot.ocrText->size() : 0) + 1;
            notesSize += size_t(screenshot.userNotes ? screenshot.userNotes->size() : 0) + 1;
        }
        m_block.texts[SearchIndex::ocrText].reserve(ocrSize);
        m_block.texts[SearchIndex::userNotes].reserve(notesSize);
        for (auto& starts : m_block.starts)
            starts.reserve(size_t(range.count) + 1);
    }

    void add(const Screenshot& screenshot)
    {
        startEntry();
        m_folder.appendForContains(screenshot.filename, text(SearchIndex::filename));
        addList(screenshot.customTags, SearchIndex::customTagText, SearchIndex::customTagSet);
        addList(screenshot.tags, SearchIndex::tagText, SearchIndex::tagSet);
        for (const SearchIndex::Field field : {SearchIndex::filename, SearchIndex::customTagText, SearchIndex::tagText})
            text(field).push_back(SearchIndex::separator);
        for (const SearchIndex::Field field : {SearchIndex::userNotes, SearchIndex::ocrText})
            addOriginalOrFolded(SearchIndex::originalText(screenshot, field), field);
        ++m_member;
    }

    void finish()
    {
        startEntry();
        for (auto& text : m_block.texts)
            text.shrink_to_fit();
        for (auto& originals : m_block.originals)
            originals.shrink_to_fit();
    }

private:
    std::string& text(SearchIndex::Field field) { return m_block.texts[field]; }

    void startEntry()
    {
        for (int field = 0; field < SearchIndex::fieldCount; ++field)
            m_block.starts[field].push_back(quint32(m_block.texts[field].size()));
    }

    void addOriginalOrFolded(const QString* original, SearchIndex::Field field)
    {
        if (original && !original->isEmpty() && m_folder.foldsToAsciiLower(*original)) {
            m_block.originals[field].push_back(m_member);
            return;
        }
        if (original)
            m_folder.appendForContains(*original, text(field));
        text(field).push_back(SearchIndex::separator);
    }

    void addList(const QStringList& list, SearchIndex::Field textField, SearchIndex::Field setField)
    {
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i > 0)
                text(textField).push_back(SearchIndex::separator);
            m_folder.appendForContains(list.at(i), text(textField));
            text(setField).push_back(SearchIndex::separator);
            m_folder.appendForEquality(list.at(i), text(setField));
        }
        if (!list.isEmpty())
            text(setField).push_back(SearchIndex::separator);
    }

    SearchIndex::Block& m_block;
    const TextFolder& m_folder;
    quint32 m_member = 0;
};

// A block's filter holds byte trigrams and byte 4-grams: a made-up name or a
// code is usually made of trigrams that everyday words have too, but of
// 4-grams that they do not. A segment's filter holds only the 4-grams: its
// few bits are not spent on trigrams that nearly every segment has. A trigram
// is a 24-bit number; a 4-gram is hashed to 24 bits (trigrams and 4-grams
// sharing a number is one false "maybe" more). Both are hashed down to a
// filter's size.
enum class Grams { trigramsAnd4Grams, only4Grams };
constexpr int kBlockBitsPerGram = 8;   // about one false "maybe" in nine per gram
constexpr int kSegmentBitsPerGram = 3; // a term has several grams
constexpr size_t kLargestBlockFilter = size_t(1) << 22;
constexpr size_t kLargestSegmentFilter = size_t(1) << 18;
constexpr size_t kFewestFilterBits = 512;

quint32 spread(quint64 value, int bits)
{
    // Fibonacci hashing: the top bits of the product spread neighbouring
    // values over the whole range.
    return quint32((value * 0x9E3779B97F4A7C15ull) >> (64 - bits));
}

size_t filterBit(quint32 gram, size_t bitCount)
{
    // bitCount is a power of two of at most 2^24 bits.
    return size_t(spread(gram, 24)) & (bitCount - 1);
}

// Calls add(gram) for every gram of the bytes, each byte given by
// byteOf(unit), until add returns false; returns false if it did.
template <typename Unit, typename ByteOf, typename Add>
bool forEachGram(Grams grams, const Unit* text, size_t size, ByteOf byteOf, Add add)
{
    const bool trigrams = grams == Grams::trigramsAnd4Grams;
    quint32 window = 0;
    for (size_t i = 0; i < size; ++i) {
        window = window << 8 | quint32(byteOf(text[i]));
        if (i >= 2 && trigrams && !add(window & 0xFFFFFF))
            return false;
        if (i >= 3 && !add(spread(window, 24)))
            return false;
    }
    return true;
}

quint8 byteOf(char c)
{
    return quint8(c);
}

// The bytes of a text read in place, as its folded copy would hold them.
quint32 asciiLowerByteOf(char16_t c)
{
    return quint32(c + (char16_t(c - u'A') < 26 ? 32 : 0));
}

// A one-hash Bloom filter of grams filled at its largest size, then folded
// (its upper half ORed onto its lower half, as often as it may) down to the
// size its distinct grams ask for: a gram's bit at the smaller size is the
// same bit with the top bit of its number dropped.
class GramFilterBuilder
{
public:
    GramFilterBuilder(Grams grams, size_t largestBits)
        : m_grams(grams)
        , m_bits(largestBits / 64, 0)
    {}

    void add(quint32 gram)
    {
        const size_t bit = filterBit(gram, m_bits.size() * 64);
        m_bits[bit / 64] |= quint64(1) << (bit % 64);
    }

    // The grams of the texts of the block's members [fromMember, toMember),
    // folded copies and texts read in place alike.
    void addTexts(const SearchIndex::Block& block, const QList<Screenshot>& library, qsizetype first,
                  quint32 fromMember, quint32 toMember)
    {
        const auto add = [this](quint32 gram) {
            this->add(gram);
            return true;
        };
        for (int field = 0; field < SearchIndex::fieldCount; ++field) {
            const std::vector<quint32>& starts = block.starts[size_t(field)];
            const quint32 from = starts[fromMember];
            forEachGram(m_grams, block.texts[size_t(field)].data() + from, starts[toMember] - from, byteOf, add);
            const std::vector<quint32>& inPlace = block.originals[size_t(field)];
            for (auto it = std::lower_bound(inPlace.begin(), inPlace.end(), fromMember);
                 it != inPlace.end() && *it < toMember; ++it) {
                const QString& text = *SearchIndex::originalText(library.at(first + *it), SearchIndex::Field(field));
                forEachGram(m_grams, QStringView(text).utf16(), size_t(text.size()), asciiLowerByteOf, add);
            }
        }
    }

    // The filter, folded to at least `bitsPerGram` bits per distinct gram
    // where its largest size allows; the builder starts empty again.
    void takeInto(int bitsPerGram, std::vector<quint64>& filters)
    {
        size_t set = 0;
        for (const quint64 word : m_bits)
            set += size_t(std::popcount(word));
        // Linear counting: n distinct grams set about m(1 - e^(-n/m)) of m bits.
        const double largest = double(m_bits.size() * 64);
        const double distinct = -largest * std::log1p(-double(set) / largest); // all set: infinite
        const double wanted = std::max(double(kFewestFilterBits), distinct * bitsPerGram);
        size_t words = m_bits.size();
        while (double(words * 32) >= wanted) {
            words /= 2;
            for (size_t i = 0; i < words; ++i)
                m_bits[i] |= m_bits[i + words];
        }
        filters.insert(filters.end(), m_bits.begin(), m_bits.begin() + qsizetype(words));
        std::fill(m_bits.begin(), m_bits.end(), 0);
    }

private:
    Grams m_grams;
    std::vector<quint64> m_bits;
};

void addGramFilters(SearchIndex::Block& block, const QList<Screenshot>& library, qsizetype first)
{
    const auto count = quint32(block.count);
    GramFilterBuilder whole(Grams::trigramsAnd4Grams, kLargestBlockFilter);
    whole.addTexts(block, library, first, 0, count);
    whole.takeInto(kBlockBitsPerGram, block.gramBits);
    block.gramBits.shrink_to_fit();

    GramFilterBuilder segment(Grams::only4Grams, kLargestSegmentFilter);
    for (quint32 from = 0; from < count; from += quint32(SearchIndex::Block::segmentSize)) {
        block.segmentStarts.push_back(quint32(block.segmentBits.size()));
        segment.addTexts(block, library, first, from, std::min(count, from + quint32(SearchIndex::Block::segmentSize)));
        segment.takeInto(kSegmentBitsPerGram, block.segmentBits);
    }
    block.segmentStarts.push_back(quint32(block.segmentBits.size()));
    block.segmentBits.shrink_to_fit();
}

bool filterMayHold(std::span<const quint64> filter, Grams grams, std::string_view needle)
{
    if (filter.empty())
        return true;
    const size_t bitCount = filter.size() * 64;
    return forEachGram(grams, needle.data(), needle.size(), byteOf, [&](quint32 gram) {
        const size_t bit = filterBit(gram, bitCount);
        return (filter[bit / 64] & (quint64(1) << (bit % 64))) != 0;
    });
}

void addUnitEmbeddings(SearchIndex::Block& block, const QList<Screenshot>& library, const Range& range)
{
    for (qsizetype i = range.first; i < range.first + range.count && block.dimensions == 0; ++i)
        block.dimensions = library.at(i).embedding.value_or(QList<double>()).size();
    block.hasUnitEmbedding.assign(size_t(range.count), 0);
    if (block.dimensions == 0)
        return;
    block.unitEmbeddings.assign(size_t(range.count * block.dimensions), 0.0f);
    for (qsizetype i = 0; i < range.count; ++i) {
        const std::optional<QList<double>>& embedding = library.at(range.first + i).embedding;
        if (!embedding || embedding->size() != block.dimensions)
            continue;
        double squares = 0;
        for (const double value : *embedding)
            squares += value * value;
        if (!(squares > 0) || !std::isfinite(squares))
            continue;
        const double norm = std::sqrt(squares);
        float* unit = &block.unitEmbeddings[size_t(i * block.dimensions)];
        for (qsizetype d = 0; d < block.dimensions; ++d)
            unit[d] = float(embedding->at(d) / norm);
        block.hasUnitEmbedding[size_t(i)] = 1;
    }
}

bool holdsText(const std::optional<QString>& text)
{
    return text && std::any_of(text->begin(), text->end(), [](QChar c) { return c.isLetterOrNumber(); });
}

std::shared_ptr<const SearchIndex::Block> buildBlock(const QList<Screenshot>& library, const Range& range,
                                                     std::vector<quint64> fingerprints, const TextFolder& folder)
{
    auto block = std::make_shared<SearchIndex::Block>();
    block->count = range.count;
    block->firstId = library.at(range.first).id;
    block->fingerprints = std::move(fingerprints);
    block->createdMSecs.reserve(size_t(range.count));
    block->hasText.reserve(size_t(range.count));
    addUnitEmbeddings(*block, library, range);
    BlockWriter writer(*block, folder);
    writer.reserve(library, range);
    EpochTimes times;
    for (qsizetype i = range.first; i < range.first + range.count; ++i) {
        const Screenshot& screenshot = library.at(i);
        block->createdMSecs.push_back(times.msecs(screenshot.dateCreated));
        block->hasText.push_back(holdsText(screenshot.ocrText) ? 1 : 0);
        writer.add(screenshot);
    }
    writer.finish();
    addGramFilters(*block, library, range.first);
    return block;
}

size_t hashOf(const std::optional<QString>& text, size_t seed)
{
    return text ? qHash(*text, seed) : seed * 31 + 7;
}

size_t hashOf(const std::optional<QList<double>>& embedding)
{
    return embedding ? qHashRange(embedding->begin(), embedding->end(), 5) : 0;
}

size_t hashOf(const QDateTime& time)
{
    // A local time's date and time of day are stored as such; turning them
    // into an instant would ask the time zone.
    if (time.timeSpec() == Qt::LocalTime)
        return qHashMulti(1, time.date().toJulianDay(), time.time().msecsSinceStartOfDay());
    return qHashMulti(2, time.isValid() ? time.toMSecsSinceEpoch() : 0, int(time.timeSpec()));
}
} // namespace

bool SearchIndex::Block::mayContain(std::string_view needle) const
{
    return filterMayHold(gramBits, Grams::trigramsAnd4Grams, needle);
}

bool SearchIndex::Block::segmentMayContain(qsizetype segment, std::string_view needle) const
{
    if (segmentStarts.empty())
        return true;
    const auto from = segmentBits.begin() + segmentStarts[size_t(segment)];
    const auto to = segmentBits.begin() + segmentStarts[size_t(segment) + 1];
    return filterMayHold(std::span<const quint64>(from, to), Grams::only4Grams, needle);
}

void SearchIndex::Block::markHolders(Field field, const SubstringFinder& finder, qsizetype from, qsizetype to,
                                     const QList<Screenshot>& library, qsizetype first, Marks marks) const
{
    markFoldedHolders(field, finder, from, to, marks);
    forEachInPlace(field, from, to, library, first, [&](quint32 member, QStringView text) {
        const char16_t* end = text.utf16() + text.size();
        if (finder.findIgnoringAsciiCase(text.utf16(), end) != end)
            marks.marks[size_t(member) * marks.stride] |= marks.bit;
    });
}

void SearchIndex::Block::markFoldedHolders(Field field, const SubstringFinder& finder, qsizetype from, qsizetype to,
                                           Marks marks) const
{
    const std::string& text = texts[field];
    const std::vector<quint32>& fieldStarts = starts[field];
    const char* base = text.data();
    const char* end = base + fieldStarts[size_t(to)];
    const char* at = base + fieldStarts[size_t(from)];
    qsizetype member = from;
    // After a hit the scan goes on at the next member's text. Members read
    // in place own no bytes, so a hit belongs to the last member starting
    // at or before it.
    while (at < end) {
        const char* hit = finder.find(at, end);
        if (hit == end)
            return;
        const auto offset = quint32(hit - base);
        member = std::upper_bound(fieldStarts.begin() + member + 1, fieldStarts.begin() + to + 1, offset) -
                 fieldStarts.begin() - 1;
        marks.marks[size_t(member) * marks.stride] |= marks.bit;
        at = base + fieldStarts[size_t(member) + 1];
    }
}

void SearchIndex::Block::forEachInPlace(Field field, qsizetype from, qsizetype to, const QList<Screenshot>& library,
                                        qsizetype first,
                                        const std::function<void(quint32 member, QStringView text)>& visit) const
{
    const std::vector<quint32>& inPlace = originals[field];
    for (auto it = std::lower_bound(inPlace.begin(), inPlace.end(), quint32(from));
         it != inPlace.end() && qsizetype(*it) < to; ++it)
        visit(*it, *originalText(library.at(first + qsizetype(*it)), field));
}

qsizetype SearchIndex::membersMayHolding(std::string_view needle, qsizetype enough) const
{
    qsizetype members = 0;
    for (const Placement& placement : m_blocks) {
        const Block& block = *placement.block;
        if (members > enough)
            return members;
        if (!block.mayContain(needle))
            continue;
        if (block.segmentStarts.empty()) {
            members += block.count;
            continue;
        }
        for (qsizetype segment = 0; segment * Block::segmentSize < block.count; ++segment) {
            if (block.segmentMayContain(segment, needle))
                members += std::min(Block::segmentSize, block.count - segment * Block::segmentSize);
        }
    }
    return members;
}

size_t SearchIndex::Block::memoryBytes() const
{
    size_t bytes = sizeof(Block) + fingerprints.capacity() * sizeof(quint64) +
                   (gramBits.capacity() + segmentBits.capacity()) * sizeof(quint64) +
                   segmentStarts.capacity() * sizeof(quint32) + createdMSecs.capacity() * sizeof(qint64) +
                   unitEmbeddings.capacity() * sizeof(float) + hasUnitEmbedding.capacity() + hasText.capacity();
    for (int field = 0; field < fieldCount; ++field)
        bytes += texts[field].capacity() + (starts[field].capacity() + originals[field].capacity()) * sizeof(quint32);
    return bytes;
}

quint64 SearchIndex::fingerprint(const Screenshot& screenshot)
{
    return qHashMulti(0x5eed, qHash(screenshot.filename), hashOf(screenshot.ocrText, 1),
                      hashOf(screenshot.userNotes, 2), qHashRange(screenshot.tags.begin(), screenshot.tags.end(), 3),
                      qHashRange(screenshot.customTags.begin(), screenshot.customTags.end(), 4), screenshot.tags.size(),
                      screenshot.customTags.size(), hashOf(screenshot.dateCreated), hashOf(screenshot.embedding));
}

const QString* SearchIndex::originalText(const Screenshot& screenshot, Field field)
{
    const std::optional<QString>* text = field == ocrText     ? &screenshot.ocrText
                                         : field == userNotes ? &screenshot.userNotes
                                                              : nullptr;
    return text && *text ? &**text : nullptr;
}

SearchIndex::SearchIndex()
    : m_timeZoneId(QTimeZone::systemTimeZoneId())
{}

bool SearchIndex::hasSameSettings(const SearchIndex& other) const
{
    return m_folder.localeName() == other.m_folder.localeName() && m_timeZoneId == other.m_timeZoneId;
}

size_t SearchIndex::memoryBytes() const
{
    // A block taken over from a previous index is counted here as well: the
    // indexes share it.
    size_t bytes = sizeof(SearchIndex) + m_blocks.capacity() * sizeof(Placement);
    for (const Placement& placement : m_blocks)
        bytes += placement.block->memoryBytes();
    return bytes;
}

std::shared_ptr<const SearchIndex> SearchIndex::build(const QList<Screenshot>& library, const SearchIndex* previous,
                                                      QThreadPool& pool, const std::atomic<bool>& cancelled)
{
    auto index = std::shared_ptr<SearchIndex>(new SearchIndex);
    index->m_size = library.size();
    QHash<QUuid, std::shared_ptr<const Block>> previousBlocks;
    if (previous && previous->hasSameSettings(*index)) {
        for (const Placement& placement : previous->blocks())
            previousBlocks.insert(placement.block->firstId, placement.block);
    }

    const std::vector<Range> ranges = blockRanges(library);
    index->m_blocks.resize(ranges.size());
    std::atomic<qsizetype> reused{0};
    SearchPool::parallelFor(pool, qsizetype(ranges.size()), [&](qsizetype k) {
        if (cancelled)
            return;
        const Range& range = ranges[size_t(k)];
        std::vector<quint64> fingerprints(size_t(range.count));
        for (qsizetype i = 0; i < range.count; ++i)
            fingerprints[size_t(i)] = fingerprint(library.at(range.first + i));
        const std::shared_ptr<const Block> old = previousBlocks.value(library.at(range.first).id);
        Placement& placement = index->m_blocks[size_t(k)];
        placement.first = range.first;
        if (old && old->fingerprints == fingerprints) {
            placement.block = old;
            ++reused;
        } else {
            placement.block = buildBlock(library, range, std::move(fingerprints), index->folder());
        }
    });
    // The blocks' filters are sized in scratch space first; those pages sit
    // free in the search threads' arenas until given back, some tens of
    // megabytes on a large library.
    malloc_trim(0);
    if (cancelled)
        return nullptr;
    index->m_reusedBlocks = reused;
    return index;
}

std::shared_ptr<const SearchIndex> SearchIndex::Cache::current()
{
    std::lock_guard lock(m_mutex);
    return m_index;
}

std::shared_ptr<const SearchIndex> SearchIndex::Cache::take()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_index, nullptr);
}

std::shared_ptr<const SearchIndex> SearchIndex::Cache::kept(const QList<Screenshot>& library, quint64 generation,
                                                            std::shared_ptr<const SearchIndex>* previous)
{
    std::lock_guard lock(m_mutex);
    if (m_index && m_generation == generation && m_index->size() == library.size() &&
        m_index->folder().localeName() == QLocale().name() && m_index->timeZoneId() == QTimeZone::systemTimeZoneId())
        return m_index;
    *previous = m_index;
    return nullptr;
}

std::shared_ptr<const SearchIndex> SearchIndex::Cache::indexFor(const QList<Screenshot>& library, quint64 generation,
                                                                QThreadPool& pool, const std::atomic<bool>& cancelled)
{
    std::shared_ptr<const SearchIndex> previous;
    if (auto index = kept(library, generation, &previous))
        return index;
    std::lock_guard building(m_building);
    if (auto index = kept(library, generation, &previous))
        return index;
    std::shared_ptr<const SearchIndex> built = build(library, previous.get(), pool, cancelled);
    if (built) {
        std::lock_guard lock(m_mutex);
        m_index = built;
        m_generation = generation;
    }
    return built;
}
