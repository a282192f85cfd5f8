#pragma once

#include "core/LibrarySource.h"
#include "core/Scheduler.h"
#include "core/Workers.h"
#include "library/LibrarySpellChecker.h"
#include "library/RelatedWords.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <memory>

// Keeps the spelling checker's vocabulary in step with the library: a while
// after a change (screenshots arrived, left, or were analysed), the words
// are counted again from a snapshot on a worker and handed to the checker,
// and to the related words, which index them there too.
// Changes in the meantime join that count; a change during a count starts one
// more after it. Lives on the GUI thread.
class LibraryVocabulary : public QObject
{
    Q_OBJECT

public:
    LibraryVocabulary(const LibrarySource& library, LibrarySpellChecker& checker, Workers::Pool& pool,
                      Scheduler& scheduler, QObject* parent = nullptr);
    ~LibraryVocabulary() override;

    // Indexed from each count on.
    void setRelatedWords(std::shared_ptr<RelatedWords> related) { m_related = std::move(related); }

    // From a change to the count that takes it in: an analysis run changes
    // the library every few files, a load page by page.
    static constexpr std::chrono::milliseconds countDelay{1500};

signals:
    // The checker has a vocabulary of a newer library (GUI thread).
    void updated();

private:
    void scheduleCount();
    void startCount();
    void countFinished(std::shared_ptr<const Vocabulary> vocabulary);

    const LibrarySource& m_library;
    LibrarySpellChecker& m_checker;
    std::shared_ptr<RelatedWords> m_related;
    Workers::Pool& m_pool;
    Scheduler& m_scheduler;
    bool m_scheduled = false;
    bool m_counting = false;
    bool m_changedWhileCounting = false;
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
};
