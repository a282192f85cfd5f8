#pragma once

#include "support/BenchSupport.h"

#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <random>

// The pieces every soak run of bench_soak shares: the program started again
// as a child (the application's stand-in, which a soak kills, faults and
// restarts), pictures to fill a folder with, the user's tags and notes
// written between runs, and the check of a store against its folder.
namespace Soak {

// A soak run: `run` is the parent's side (it prints its RESULT line and
// returns 0 when every figure is as it should be; empty for a child that
// another run starts); `child` is what a child started with
// "--child <name> ..." does.
struct Entry
{
    QString name;
    std::function<int(quint32 seed)> run;
    std::function<int(const QStringList& arguments)> child;
};
// Called from a file's static initialiser; every registered run is done in
// the order of names unless "--only <name>" picks one.
bool add(Entry entry);
const QList<Entry>& entries();

// `--key value` in a child's arguments.
QString argument(const QStringList& arguments, const QString& key, const QString& fallback = {});

// This program started again with "--child <name>" and `arguments`; what
// it prints read line by line.
class Child
{
public:
    Child(const QString& name, const QStringList& arguments);
    ~Child();

    // Waits until the child printed a line starting with `prefix`; false
    // when it ended or `timeoutMs` passed first.
    bool waitForLine(const QString& prefix, int timeoutMs);
    // SIGKILL, as a crash or the power going would end it; waits for it.
    void kill();
    // Waits for its own end; false when it had to be killed after `timeoutMs`.
    bool waitForExit(int timeoutMs);
    bool isRunning() const;
    // Its standard output and error, line by line, as read so far.
    const QStringList& lines() const { return m_lines; }
    int linesContaining(const QString& part) const;

private:
    void readLines();

    std::unique_ptr<QProcess> m_process;
    QStringList m_lines;
    QByteArray m_partial;
    qsizetype m_seen = 0;
};

// A small PNG whose "Caption" text is what a reading of it must find.
bool writePicture(const QString& path, const QString& caption, std::mt19937& random);
// The caption a picture carries, or nothing when it cannot be read.
std::optional<QString> captionOf(const QString& path);

// The user's tags and notes as the soak gave them, by row id, and whether the
// store still has each of them.
class UserDataLedger
{
public:
    // Gives `count` rows of the store at `dbPath` (picked at random among
    // those there) a new tag and note, through the store as the inspector
    // does; only what the store confirmed is remembered.
    int write(const QString& dbPath, int count, std::mt19937& random);
    // Rows whose tags or note are not (any more) what was written.
    int lost(const QString& dbPath) const;
    int size() const { return int(m_expected.size()); }
    // The upper-case ids of the rows given user data, sorted.
    QStringList ids() const;

private:
    struct UserData
    {
        QStringList tags;
        QString note;
    };
    QHash<QString, UserData> m_expected; // by upper-case id
    int m_serial = 0;
};

// A store compared with the files of its folder.
struct LibraryCheck
{
    int files = 0;
    int rows = 0;
    int duplicates = 0;  // rows beyond the first for one path
    int staleRows = 0;   // rows whose file is not there
    int missingRows = 0; // files without a row
    int unanalysed = 0;  // rows of files there without text or embedding
    int wrongText = 0;   // rows whose text is not the caption of their file

    static LibraryCheck of(const QString& folder, const QString& dbPath);
    bool isSound() const
    {
        return duplicates == 0 && staleRows == 0 && missingRows == 0 && unanalysed == 0 && wrongText == 0;
    }
};

// The id of the row at `path` in the store, read while a child may be
// writing it; empty when there is none.
QString idAtPath(const QString& dbPath, const QString& path);
// The path of the row with `id`; empty when there is none.
QString pathOfId(const QString& dbPath, const QString& id);
// The text stored for the row at `path`; empty when none was.
QString textAtPath(const QString& dbPath, const QString& path);

} // namespace Soak
