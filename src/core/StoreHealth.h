#pragma once

#include <QMutex>
#include <QObject>
#include <QString>

// What the window must tell the user about the store: whether changes can be
// saved right now (and why not), and whether a damaged library file was set
// aside at start (and what was carried over from it). The store updates it
// from its own queue; readers on any thread get a consistent copy, and
// `changed` reaches GUI-thread receivers through the event loop.
class StoreHealth : public QObject
{
    Q_OBJECT

public:
    struct State
    {
        // Why the last write failed, in words for the user; empty while
        // writes work.
        QString writeProblem;
        // Where a damaged library file was moved at start; empty when none was.
        QString setAsidePath;
        // While the tags and notes in that file are being read.
        bool isCarryingUserData = false;
        // Screenshots whose tags or notes were read from that file and carried
        // over to the new one.
        int carriedUserData = 0;
        // Tags and notes found there but left out: beyond the program's own
        // limits (UserDataLimits).
        qint64 leftOutUserData = 0;
        // The reading stopped at its bound of time or size, before the file's end.
        bool wasCarryingCut = false;

        bool canWrite() const { return writeProblem.isEmpty(); }
        bool operator==(const State&) const = default;
    };

    State state() const;
    bool canWrite() const { return state().canWrite(); }

    // A write reached the file (`sqliteCode` SQLITE_OK) or failed with it.
    void recordWrite(int sqliteCode);
    // The tags and notes in the file set aside are being read.
    void recordSetAside(const QString& path);
    void recordUserDataCarried(int carried, qint64 leftOut, bool wasCut);

    // The user's words for an SQLite result code that stopped a write.
    static QString problemText(int sqliteCode);

signals:
    void changed();

private:
    void update(const State& next);

    mutable QMutex m_mutex;
    State m_state;
};
