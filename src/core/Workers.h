#pragma once

#include "core/SerialQueue.h"

#include <QString>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <memory>

// Every thread the application starts besides the GUI thread, created, named
// and sized here, so that one page says what runs where:
//
//   GUI thread        widgets, every published property, the polling timer
//                     (2 s) and the memory sampling (5 s); never waits on
//                     analysis or on a walk of the folder.
//   fileQueue         "<id>.filemonitor": the library load and every polling
//                     walk, one at a time, in order.
//   analysis          text recognition, labels and embedding of one batch,
//                     at a lower scheduling priority so the desktop stays
//                     responsive: the four files of a batch at once, and
//                     threads beyond those four help with the parts of their
//                     pages (SharedWork). Sized to the machine by
//                     AnalysisSizes: one thread per text-recognition engine
//                     (one OpenMP thread each), at least four; engines up to
//                     one per core, 2 to 32, and label networks one per two
//                     cores, 2 to 4, both within an eighth of the memory
//                     (down to one network where it is short).
//   storeWrites       one thread: the pipeline's result writes reach the
//                     store in the order the batches finished.
//   gallery           day sections and search orchestration of every gallery
//                     view model (two threads at least, so a search winding
//                     down never holds up the sections of a cleared one).
//   search            scoring of one search spread over every core.
//   collections       one thread: smart collections rebuilt from a snapshot.
//   thumbnails        card and cell thumbnails decoded off the GUI thread
//                     (two threads at least, newest request first), and
//                     the duplicate finder's renditions of its members.
//   duplicateReads    the duplicate finder's files read beside the tools'
//                     worker that runs its analysis (three threads: four
//                     files read at once at most).
//   tasks             short jobs a view hands off (deletion to the Trash,
//                     tag lists read from the store), the analyzer's
//                     release of its models after a run, and the space
//                     saver's list of images found no smaller written to
//                     disk, one at a time.
//
// The three tools' runs, undos and deletions and the gallery's deletions
// queue on ToolJobs (core/ToolJobs.h), one serial worker of their own, so
// they never change the folder over each other; quitting asks the job under
// way to stop at its next safe point.
//
// The store ("<id>.db") and the sentence model ("<id>.embedding") keep their
// serial queues with the resource they guard: the queue must drain before the
// connection or the model goes, so DatabaseManager and EmbeddingService own
// them.
//
// Built once by main() before any service; shutDown() is the last step of an
// ordered quit (after the services stopped submitting work).
class Workers
{
public:
    // A pool whose threads carry its name (shown by ps, top and debuggers).
    class Pool
    {
    public:
        Pool(QString name, int maxThreads, bool isBackground = false);

        void start(std::function<void()> task);
        // Starts `task` only when a thread is free now; false otherwise.
        bool tryStart(std::function<void()> task);
        QThreadPool& threads() { return m_pool; }
        const QString& name() const { return m_name; }
        int maxThreadCount() const { return m_pool.maxThreadCount(); }
        void setMaxThreadCount(int count) { m_pool.setMaxThreadCount(count); }
        // Waits for every started task.
        void waitForDone() { m_pool.waitForDone(); }
        // The same, for `wait` at most; false when tasks were still running.
        bool waitForDone(std::chrono::milliseconds wait) { return m_pool.waitForDone(int(wait.count())); }

    private:
        QString m_name;
        bool m_isBackground;
        QThreadPool m_pool;
    };

    // How much analysis runs at once on this machine.
    struct AnalysisSizes
    {
        int threads = 4;  // files of a batch, and helpers up to one per engine
        int engines = 2;  // text-recognition engines, ~15-40 MB each
        int networks = 1; // label networks, ~80-100 MB each

        static AnalysisSizes forMachine(int cores, qint64 physicalMB);
        bool operator==(const AnalysisSizes&) const = default;
    };

    static inline const QString applicationId = QStringLiteral("org.brindlework.Glimmerdeck");
    // The files of one batch, analysed at once whatever the machine.
    static constexpr int batchFiles = 4;
    // Threads that read files for the duplicate finder besides the one its
    // analysis runs on.
    static constexpr int duplicateReadThreads = 3;

    Workers();
    ~Workers();

    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    const AnalysisSizes& analysisSizes() const { return m_analysisSizes; }

    SerialQueue& fileQueue() { return *m_fileQueue; }
    Pool& analysis() { return m_analysis; }
    Pool& storeWrites() { return m_storeWrites; }
    Pool& gallery() { return m_gallery; }
    Pool& search() { return m_search; }
    Pool& collections() { return m_collections; }
    Pool& thumbnails() { return m_thumbnails; }
    Pool& duplicateReads() { return m_duplicateReads; }
    Pool& tasks() { return m_tasks; }

    // Waits for every task already started in every pool and queue; for the
    // analysis pool only `withAnalysis` (an engine that ignores its stop may
    // hold one of its threads for good).
    void waitForAll(bool withAnalysis = true);

private:
    const AnalysisSizes m_analysisSizes;
    std::unique_ptr<SerialQueue> m_fileQueue;
    Pool m_analysis;
    Pool m_storeWrites;
    Pool m_gallery;
    Pool m_search;
    Pool m_collections;
    Pool m_thumbnails;
    Pool m_duplicateReads;
    Pool m_tasks;
};
