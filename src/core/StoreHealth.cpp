#include "core/StoreHealth.h"

#include <sqlite3.h>

using namespace Qt::StringLiterals;

StoreHealth::State StoreHealth::state() const
{
    QMutexLocker lock(&m_mutex);
    return m_state;
}

void StoreHealth::recordWrite(int sqliteCode)
{
    State next = state();
    next.writeProblem = sqliteCode == SQLITE_OK ? QString() : problemText(sqliteCode);
    update(next);
}

void StoreHealth::recordSetAside(const QString& path)
{
    State next = state();
    next.setAsidePath = path;
    next.isCarryingUserData = true;
    next.carriedUserData = 0;
    next.leftOutUserData = 0;
    next.wasCarryingCut = false;
    update(next);
}

void StoreHealth::recordUserDataCarried(int carried, qint64 leftOut, bool wasCut)
{
    State next = state();
    next.isCarryingUserData = false;
    next.carriedUserData = carried;
    next.leftOutUserData = leftOut;
    next.wasCarryingCut = wasCut;
    update(next);
}

void StoreHealth::update(const State& next)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_state == next)
            return;
        m_state = next;
    }
    Q_EMIT changed();
}

QString StoreHealth::problemText(int sqliteCode)
{
    switch (sqliteCode & 0xff) {
    case SQLITE_OK:
        return {};
    case SQLITE_FULL:
        return u"the disk holding the library is full"_s;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return u"the library file is read-only"_s;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return u"the library file is damaged; it is set aside at the next start"_s;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return u"the library file is locked by another program"_s;
    case SQLITE_CANTOPEN:
        return u"the library file cannot be opened"_s;
    case SQLITE_IOERR:
        return u"the disk reported an error"_s;
    default:
        return QString::fromUtf8(sqlite3_errstr(sqliteCode));
    }
}
