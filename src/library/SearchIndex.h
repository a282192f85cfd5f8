#pragma once

#include "core/Screenshot.h"
#include "library/SubstringFinder.h"
#include "library/TextFolder.h"

#include <QList>
#include <QThreadPool>
#include <QUuid>

#include <array>
#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The searchable texts of a library, folded once (see TextFolder) so that a
// search only compares bytes. Immutable once built, so any number of
// searches may read it at once.
//
// Recognised text and notes that are plain ASCII, most of a library, are not
// copied: a search reads them in the library's own screenshots, ignoring the
// case of ASCII letters, which is what their folding would do. So an index
// answers only for the library it was built from (or one holding the same
// screenshots at the same positions).
//
// The library is cut into blocks of a few hundred screenshots, each with
// every field of its screenshots in one buffer. Blocks end where a
// screenshot's id says so rather than at fixed counts: when files are added
// or removed, the other blocks keep their members and are taken over from the
// previous index unchanged. A block whose screenshots changed in any searched
// field is folded again.
class SearchIndex
{
public:
    enum Field {
        filename,
        customTagText, // every custom tag, for "contains"
        customTagSet,  // every custom tag, whole, for "equal"
        tagText,
        tagSet,
        userNotes,
        ocrText,
        fieldCount
    };

    // Separates texts in a buffer, and marks the ends of whole tags; folded
    // text never holds this byte.
    static constexpr char separator = '\xFF';
    static constexpr qint64 unknownTime = std::numeric_limits<qint64>::min();

    // A run of screenshots of the library. In the text fields, screenshot i
    // owns the bytes [starts[i], starts[i + 1]): its folded text (for a list,
    // the folded elements with a separator between them) and a separator. In
    // the set fields it owns a separator before every element and one after
    // the last, so a whole element `t` is found as separator + t + separator.
    // A member listed in `originals` of a field has no bytes there at all:
    // its text is the library's.
    struct Block
    {
        qsizetype count = 0;
        QUuid firstId;
        std::vector<quint64> fingerprints;
        std::vector<qint64> createdMSecs; // since 1970; unknownTime when invalid
        std::array<std::string, fieldCount> texts;
        std::array<std::vector<quint32>, fieldCount> starts;
        // The members, ascending, whose text in the field is read in the
        // library (non-empty, folding to ASCII lower case).
        std::array<std::vector<quint32>, fieldCount> originals;
        // The embeddings as unit vectors of floats, `dimensions` per
        // screenshot (zeros where hasUnitEmbedding is 0: none, another
        // length, or a zero norm): a quarter of the bytes to read for a
        // close estimate of each similarity.
        qsizetype dimensions = 0;
        std::vector<float> unitEmbeddings;
        std::vector<quint8> hasUnitEmbedding;
        // 1 where a letter or a digit was recognised in the screenshot: a
        // recording, a photograph or a picture that did not decode has
        // nothing that meaning could be found in.
        std::vector<quint8> hasText;
        // Which byte trigrams and 4-grams occur in any of the texts, hashed
        // to bits (a one-hash Bloom filter sized to the block's distinct
        // grams): a term with a gram whose bit is clear is in none of the
        // texts, and the block is not scanned for it.
        std::vector<quint64> gramBits;
        // The same for each run of `segmentSize` members (the last may be
        // shorter), with fewer bits per gram: within a block that may hold
        // a term, only the segments that may are scanned. Segment s's filter
        // is segmentBits[segmentStarts[s], segmentStarts[s + 1]).
        static constexpr qsizetype segmentSize = 32;
        std::vector<quint64> segmentBits;
        std::vector<quint32> segmentStarts;

        // Where a scan records what it found: marks[member * stride] |= bit.
        struct Marks
        {
            quint8* marks = nullptr;
            size_t stride = 1;
            quint8 bit = 1;
        };

        // False only when `needle` occurs in none of the block's texts.
        bool mayContain(std::string_view needle) const;
        // False only when `needle` occurs in none of the texts of the
        // members of `segment` (member / segmentSize).
        bool segmentMayContain(qsizetype segment, std::string_view needle) const;
        // Marks each member in [from, to) whose text in `field` holds the
        // finder's folded needle. `library` and `first` are the library the
        // block was built from and the position of its first member there.
        void markHolders(Field field, const SubstringFinder& finder, qsizetype from, qsizetype to,
                         const QList<Screenshot>& library, qsizetype first, Marks marks) const;
        // The same over the folded copies alone.
        void markFoldedHolders(Field field, const SubstringFinder& finder, qsizetype from, qsizetype to,
                               Marks marks) const;
        // Each member in [from, to) whose text in `field` is read in place,
        // with that text: several needles can then be looked for while it
        // is in the cache.
        void forEachInPlace(Field field, qsizetype from, qsizetype to, const QList<Screenshot>& library,
                            qsizetype first, const std::function<void(quint32 member, QStringView text)>& visit) const;
        size_t memoryBytes() const;
    };

    struct Placement
    {
        std::shared_ptr<const Block> block;
        qsizetype first = 0; // position of its first screenshot in the library
    };

    // The index of the latest library one owner searched, for its next
    // search. Thread-safe.
    class Cache
    {
    public:
        // The index of `library`, the owner's list as of `generation`: the
        // one kept when the generation and locale are unchanged, else one
        // built from it. Null when cancelled.
        std::shared_ptr<const SearchIndex> indexFor(const QList<Screenshot>& library, quint64 generation,
                                                    QThreadPool& pool, const std::atomic<bool>& cancelled);

        // The index last made, if any.
        std::shared_ptr<const SearchIndex> current();
        // Forgets the index, handing it over (freeing a large one takes a
        // while): the next search makes it again.
        std::shared_ptr<const SearchIndex> take();

    private:
        std::shared_ptr<const SearchIndex> kept(const QList<Screenshot>& library, quint64 generation,
                                                std::shared_ptr<const SearchIndex>* previous);

        // One build at a time: a search that comes while the index is being
        // prepared waits for it instead of folding the library a second time.
        std::mutex m_building;
        std::mutex m_mutex;
        std::shared_ptr<const SearchIndex> m_index;
        quint64 m_generation = 0;
    };

    // Folds `library`, taking over the blocks of `previous` that still hold
    // the same screenshots with the same texts. Large libraries are folded
    // on the threads of `pool`. Null when cancelled.
    static std::shared_ptr<const SearchIndex> build(const QList<Screenshot>& library, const SearchIndex* previous,
                                                    QThreadPool& pool, const std::atomic<bool>& cancelled);

    qsizetype size() const { return m_size; }
    const std::vector<Placement>& blocks() const { return m_blocks; }
    const TextFolder& folder() const { return m_folder; }
    // The system time zone the creation times were converted in.
    const QByteArray& timeZoneId() const { return m_timeZoneId; }
    // The folded copies and their bookkeeping.
    size_t memoryBytes() const;
    // How many screenshots' texts looking for the folded `needle` reads:
    // those of every segment whose filter may hold it. Counting stops past
    // `enough`.
    qsizetype membersMayHolding(std::string_view needle, qsizetype enough) const;
    // How many blocks were taken over from the previous index.
    qsizetype reusedBlocks() const { return m_reusedBlocks; }

    // Changes whenever a field that searches read changes.
    static quint64 fingerprint(const Screenshot& screenshot);
    // The screenshot's own text in a field that may be read in place of a
    // folded copy; null for other fields and absent texts.
    static const QString* originalText(const Screenshot& screenshot, Field field);

private:
    SearchIndex();

    // Whether blocks of an index built with these settings read the same.
    bool hasSameSettings(const SearchIndex& other) const;

    TextFolder m_folder;
    QByteArray m_timeZoneId;
    qsizetype m_size = 0;
    qsizetype m_reusedBlocks = 0;
    std::vector<Placement> m_blocks;
};
