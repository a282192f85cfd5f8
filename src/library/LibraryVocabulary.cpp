#include "library/LibraryVocabulary.h"

#include "core/GuiThread.h"

#include <QPointer>

LibraryVocabulary::LibraryVocabulary(const LibrarySource& library, LibrarySpellChecker& checker, Workers::Pool& pool,
                                     Scheduler& scheduler, QObject* parent)
    : QObject(parent)
    , m_library(library)
    , m_checker(checker)
    , m_pool(pool)
    , m_scheduler(scheduler)
{
    connect(&library, &LibrarySource::screenshotsChanged, this, &LibraryVocabulary::scheduleCount);
    if (!library.screenshots().isEmpty())
        scheduleCount();
}

LibraryVocabulary::~LibraryVocabulary()
{
    *m_stop = true;
}

void LibraryVocabulary::scheduleCount()
{
    if (m_counting) {
        m_changedWhileCounting = true;
        return;
    }
    if (m_scheduled)
        return;
    m_scheduled = true;
    m_scheduler.runAfter(countDelay, this, [this] {
        m_scheduled = false;
        startCount();
    });
}

void LibraryVocabulary::startCount()
{
    m_counting = true;
    m_changedWhileCounting = false;
    m_pool.start([self = QPointer(this), library = m_library.screenshots(), stop = m_stop, related = m_related] {
        std::shared_ptr<const Vocabulary> vocabulary = Vocabulary::build(library, *stop);
        if (!vocabulary)
            return;
        if (related)
            related->setVocabulary(vocabulary, *stop);
        runOnGuiThread([self, vocabulary = std::move(vocabulary)] {
            if (self)
                self->countFinished(vocabulary);
        });
    });
}

void LibraryVocabulary::countFinished(std::shared_ptr<const Vocabulary> vocabulary)
{
    m_counting = false;
    m_checker.setVocabulary(std::move(vocabulary));
    emit updated();
    if (m_changedWhileCounting)
        scheduleCount();
}
