#include "LibraryHarness.h"

#include "support/LookCount.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
class FileChangesTest : public LibraryHarness
{
protected:
    // A file whose name holds `rawName`'s bytes as they are, UTF-8 or not.
    static void writeRaw(const QString& folder, const QByteArray& rawName)
    {
        const QByteArray path = QFile::encodeName(folder) + '/' + rawName;
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << path.constData();
        ASSERT_EQ(::write(fd, "not an image", 12), 12);
        ::close(fd);
    }

    std::optional<Screenshot> listed(const QString& path) const
    {
        for (const Screenshot& screenshot : m_monitor->screenshots()) {
            if (screenshot.filePath == path)
                return screenshot;
        }
        return std::nullopt;
    }

    // Rows whose path is exactly `path`.
    int rowsAt(const QString& path) { return m_store->count(path); }

    // The file once at `old` is listed and stored at `moved` under its row
    // `id`, with its tag, note and text "total 42".
    void expectFollowed(const QString& old, const QString& moved, const QUuid& id, const QString& tag,
                        const QString& note)
    {
        ASSERT_TRUE(listed(moved));
        EXPECT_FALSE(listed(old));
        EXPECT_EQ(listed(moved)->id, id);
        EXPECT_EQ(listed(moved)->filename, QFileInfo(moved).fileName());
        const auto row = m_store->fetchByPath(moved);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->id, id);
        EXPECT_EQ(row->customTags, QStringList{tag});
        EXPECT_EQ(row->userNotes, note);
        EXPECT_EQ(row->ocrText, u"total 42"_s);
        EXPECT_EQ(rowsAt(old), 0);
    }

    // The program quits and starts again on the same store and folder;
    // `between` is what happens to the folder meanwhile.
    void restartAfter(const std::function<void()>& between, std::shared_ptr<FileAnalyzer> analyzer = nullptr)
    {
        m_monitor.reset();
        between();
        m_monitor = std::make_unique<ScreenshotMonitor>(
            analyzer ? m_parts.with(m_settings, m_memory, *m_store, std::move(analyzer))
                     : m_parts.with(m_settings, m_memory, *m_store));
        m_monitor->setPollingInterval(50);
        startOn(m_folder);
    }

    static void overwrite(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(content), content.size());
    }

    // As `touch -r`: `path` takes the modification time of `identity`.
    static void giveDate(const QString& path, const FileIdentity& identity)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            file.setFileTime(QDateTime::fromMSecsSinceEpoch(identity.modifiedMs), QFileDevice::FileModificationTime));
    }

    // The folder as a backup restores it, or `cp -a` copies it: the same
    // names, sizes and dates, every file a new inode.
    void restoreFolderFromCopy()
    {
        const QString copy = m_folder + u".copy"_s;
        ASSERT_EQ(QProcess::execute(u"cp"_s, {u"-a"_s, m_folder, copy}), 0);
        ASSERT_TRUE(QDir(m_folder).removeRecursively());
        ASSERT_TRUE(QDir().rename(copy, m_folder));
    }

    bool allRead(const QStringList& paths) const
    {
        return std::all_of(paths.begin(), paths.end(),
                           [&](const QString& path) { return listed(path) && listed(path)->ocrText; }) &&
               !m_monitor->isProcessing();
    }

    // `change` made between two walks while the program runs: none sees it
    // half done. The next check walks.
    void changeBetweenWalks(const std::function<void()>& change)
    {
        ChangeScanner& scanner = ScreenshotMonitorTestAccess::scanner(*m_monitor);
        scanner.pause();
        change();
        scanner.resume();
    }

    // `bytes` put at `path` at once, with the modification time of `dated`
    // (as a restore that keeps dates writes a file).
    static void replaceKeepingDate(const QString& path, const QByteArray& bytes, const FileIdentity& dated)
    {
        const QString part = QFileInfo(path).path() + u"/."_s + QFileInfo(path).fileName() + u".part"_s;
        overwrite(part, bytes);
        giveDate(part, dated);
        ASSERT_EQ(::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()), 0);
    }

    // The identity the row of `path` recorded.
    FileIdentity recordedAt(const QString& path)
    {
        const std::optional<Screenshot> row = m_store->fetchByPath(path);
        return row ? m_store->recordedIdentity(row->id).value_or(FileIdentity()) : FileIdentity();
    }
};

// Reads a file's bytes as its text: what a file saved again says is new.
// Counts its readings; while closed, each waits (a few seconds at most) at
// its start.
class ContentAnalyzer : public NothingAnalyzer
{
public:
    std::optional<QString> recognizeText(const QString& path) override
    {
        m_looks.add(path);
        QDeadlineTimer patience(20000);
        while (!m_isOpen && !patience.hasExpired())
            QThread::msleep(5);
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? std::optional(QString::fromUtf8(file.readAll())) : std::nullopt;
    }

    int started() const { return m_looks.total(); }
    void setOpen(bool open) { m_isOpen = open; }

private:
    LookCount m_looks;
    std::atomic<bool> m_isOpen = true;
};
} // namespace

// While the program is not running, a tagged and noted file moves into a
// sub-folder under another name: the next start finds it by its device,
// inode, size and modification time, and its row (id, text, tags, notes)
// takes the new path instead of a new row being made beside the old one.
TEST_F(FileChangesTest, AFileRenamedWhileTheProgramIsClosedKeepsItsRow)
{
    const QString old = writeFile(m_folder + u"/Work/invoice-draft.png"_s);
    const QString other = writeFile(m_folder + u"/other.png"_s);
    startOn(m_folder);
    ASSERT_TRUE(waitUntil([&] { return listed(old) && listed(other) && !m_monitor->isProcessing(); }));
    m_parts.workers.storeWrites().waitForDone();
    const QUuid id = listed(old)->id;
    const QUuid otherId = listed(other)->id;
    ASSERT_TRUE(m_store->saveUserData(id, {u"invoice"_s}, u"sent to Anna"_s));
    ASSERT_TRUE(m_store->updateMetadataBatch({{id, u"total 42"_s, {}, QList<double>{0.5}, {}}}));
    ASSERT_TRUE(m_store->saveUserData(otherId, {u"old tag"_s}, std::nullopt));

    const QString moved = m_folder + u"/2026/May/invoice.png"_s;
    QString fresh;
    restartAfter([&] {
        QDir().mkpath(QFileInfo(moved).path());
        ASSERT_TRUE(QFile::rename(old, moved));
        // A file deleted and another written may share the freed inode; the
        // new one still is a new file.
        QFile::remove(other);
        fresh = writeFile(m_folder + u"/fresh.png"_s);
    });
    settle();

    expectFollowed(old, moved, id, u"invoice"_s, u"sent to Anna"_s);
    ASSERT_TRUE(listed(fresh));
    EXPECT_NE(listed(fresh)->id, otherId);
    EXPECT_TRUE(m_store->fetchByPath(fresh)->customTags.isEmpty());
    // The moved file, the fresh one, and the vanished one's row.
    EXPECT_EQ(m_store->count(m_folder), 3);
    EXPECT_TRUE(m_console.contains(u"🔄 Found 1 renamed or moved files since the last look"_s));
}

// A row stored before rows recorded their files: the first start records the
// file as it is, without reading it again, and what it recorded is enough to
// follow the file renamed while the program is closed.
TEST_F(FileChangesTest, ARowThatRecordedNothingRecordsItsFileWithoutBeingReadAgain)
{
    const QString old = writeFile(m_folder + u"/receipt.png"_s);
    const Screenshot row(old, QUuid::createUuid());
    ASSERT_TRUE(m_store->upsert(row));
    ASSERT_TRUE(m_store->updateMetadataBatch({{row.id, u"total 42"_s, {}, QList<double>{0.5}, {}}}));
    ASSERT_TRUE(m_store->saveUserData(row.id, {u"receipt"_s}, u"paid"_s));
    ASSERT_FALSE(m_store->recordedIdentities(m_folder).contains(row.id));

    startOn(m_folder);
    settle();
    ASSERT_TRUE(listed(old));
    EXPECT_EQ(listed(old)->ocrText, u"total 42"_s);
    EXPECT_EQ(m_store->fetchByPath(old)->ocrText, u"total 42"_s);
    EXPECT_FALSE(m_console.contains(u"saved again"_s));
    const QHash<QUuid, FileIdentity> recorded = m_store->recordedIdentities(m_folder);
    ASSERT_TRUE(recorded.contains(row.id));
    EXPECT_TRUE(FileIdentity::of(old) == recorded[row.id]);

    const QString moved = m_folder + u"/2026/receipt.png"_s;
    restartAfter([&] {
        QDir().mkpath(QFileInfo(moved).path());
        ASSERT_TRUE(QFile::rename(old, moved));
    });
    settle();
    expectFollowed(old, moved, row.id, u"receipt"_s, u"paid"_s);
}

// A screenshot saved again under its own name, in place while the program
// runs or over it while it does not: the row and the list take the new size
// and date, the text is read again, and the row keeps its id and user data.
TEST_F(FileChangesTest, AFileSavedAgainTakesItsNewSizeAndDateAndIsReadAgain)
{
    const QString shot = m_folder + u"/shot.png"_s;
    overwrite(shot, "first");
    restartAfter([] {}, std::make_shared<ContentAnalyzer>());
    ASSERT_TRUE(waitUntil([&] { return listed(shot) && listed(shot)->ocrText == u"first"_s; }));
    const QUuid id = listed(shot)->id;
    m_parts.workers.storeWrites().waitForDone();
    ASSERT_TRUE(m_store->saveUserData(id, {u"kept"_s}, u"a note"_s));

    const auto expectSavedAgain = [&](const QByteArray& content) {
        ASSERT_TRUE(waitUntil([&] { return listed(shot) && listed(shot)->ocrText == QString::fromUtf8(content); }));
        m_parts.workers.storeWrites().waitForDone();
        EXPECT_EQ(listed(shot)->id, id);
        EXPECT_EQ(listed(shot)->fileSize, content.size());
        EXPECT_EQ(listed(shot)->dateCreated, fileCreationDate(shot));
        const auto row = m_store->fetchByPath(shot);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->id, id);
        EXPECT_EQ(row->fileSize, content.size());
        EXPECT_EQ(row->dateCreated, fileCreationDate(shot));
        EXPECT_EQ(row->ocrText, QString::fromUtf8(content));
        EXPECT_EQ(row->customTags, QStringList{u"kept"_s});
        EXPECT_EQ(row->userNotes, u"a note"_s);
        EXPECT_EQ(rowsAt(shot), 1);
    };

    {
        SCOPED_TRACE("in place, while running");
        overwrite(shot, "second, longer");
        m_monitor->forceChangeCheck();
        expectSavedAgain("second, longer");
    }
    {
        SCOPED_TRACE("over it, while not running");
        restartAfter(
            [&] {
                const QString saved = m_folder + u"/.shot.png.part"_s;
                overwrite(saved, "third, the longest of all");
                ASSERT_TRUE(::rename(QFile::encodeName(saved).constData(), QFile::encodeName(shot).constData()) == 0);
            },
            std::make_shared<ContentAnalyzer>());
        expectSavedAgain("third, the longest of all");
    }
}

// A screenshot saved again while the program runs: until it is read again,
// neither the list nor the store keeps its old text (a search would find
// words no longer in it, and a reading that failed would leave them).
TEST_F(FileChangesTest, AFileSavedAgainWhileRunningNeverKeepsItsOldText)
{
    const QString shot = m_folder + u"/shot.png"_s;
    overwrite(shot, "old words");
    const auto analyzer = std::make_shared<ContentAnalyzer>();
    restartAfter([] {}, analyzer);
    ASSERT_TRUE(waitUntil([&] { return allRead({shot}); }));
    m_parts.workers.storeWrites().waitForDone();
    const int reads = analyzer->started();

    analyzer->setOpen(false);
    overwrite(shot, "new words, more of them");
    m_monitor->forceChangeCheck();
    ASSERT_TRUE(waitUntil([&] { return analyzer->started() > reads; }, 20000));
    drainPostedEvents();
    EXPECT_FALSE(listed(shot)->ocrText.has_value()) << listed(shot)->ocrText->toStdString();
    EXPECT_FALSE(m_store->fetchByPath(shot)->ocrText.has_value());
    analyzer->setOpen(true);
    ASSERT_TRUE(waitUntil([&] { return listed(shot)->ocrText == u"new words, more of them"_s; }));
}

// A library copied with `cp -a` or restored from a backup, while the program
// is closed or while it runs: the same names, sizes and dates under new
// inodes are the same files. None is read again, and each row records its
// file's new identity, by which a later rename is followed.
TEST_F(FileChangesTest, ALibraryCopiedOrRestoredWithItsDatesIsNotReadAgain)
{
    const QStringList paths{writeFile(m_folder + u"/one.png"_s), writeFile(m_folder + u"/Work/two.png"_s),
                            writeFile(m_folder + u"/Work/2026/three.png"_s)};
    const auto analyzer = std::make_shared<ContentAnalyzer>();
    restartAfter([] {}, analyzer);
    ASSERT_TRUE(waitUntil([&] { return allRead(paths); }));
    m_parts.workers.storeWrites().waitForDone();
    const QUuid id = listed(paths[1])->id;
    ASSERT_TRUE(m_store->saveUserData(id, {u"kept"_s}, u"a note"_s));
    const int reads = analyzer->started();

    const auto expectKept = [&] {
        ASSERT_TRUE(waitUntil([&] { return allRead(paths); }));
        m_parts.workers.storeWrites().waitForDone();
        EXPECT_EQ(analyzer->started(), reads) << "read again";
        EXPECT_FALSE(m_console.contains(u"saved again"_s));
        for (const QString& path : paths) {
            const std::optional<FileIdentity> now = FileIdentity::of(path);
            ASSERT_TRUE(now);
            const FileIdentity recorded = recordedAt(path);
            EXPECT_TRUE(recorded.isSameInode(*now) && recorded.birthNs == now->birthNs) << path.toStdString();
        }
        EXPECT_EQ(listed(paths[1])->id, id);
        EXPECT_EQ(m_store->fetchByPath(paths[1])->customTags, QStringList{u"kept"_s});
    };
    {
        SCOPED_TRACE("while the program is closed");
        const FileIdentity before = *FileIdentity::of(paths[0]);
        restartAfter([&] { restoreFolderFromCopy(); }, analyzer);
        ASSERT_FALSE(FileIdentity::of(paths[0])->isSameInode(before));
        settle();
        expectKept();
    }
    {
        SCOPED_TRACE("while it runs");
        restoreFolderFromCopy();
        m_monitor->forceChangeCheck();
        settle();
        expectKept();
    }
    {
        SCOPED_TRACE("renamed after");
        const QString moved = m_folder + u"/Work/two, renamed.png"_s;
        restartAfter([&] { ASSERT_TRUE(QFile::rename(paths[1], moved)); }, analyzer);
        settle();
        ASSERT_TRUE(listed(moved));
        EXPECT_EQ(listed(moved)->id, id);
    }
}

// While the program is closed, a file is deleted and a new one takes its
// inode, size and date (file systems reuse a freed inode at once, `touch -r`
// gives the date), and another file is renamed. What each row recorded tells
// the two apart: the birth time, or where there is none, the fingerprint of
// the file's bytes. A row that recorded neither (stored before either was
// kept) is unsure, and hands itself to no file.
TEST_F(FileChangesTest, ANewFileWithADeletedFilesInodeSizeAndDateNeverTakesItsRow)
{
    struct Case
    {
        QString name;
        bool hasBirthTime = false;
        bool hasFingerprint = false;
    };
    for (const Case& recorded :
         {Case{u"birth time"_s, true, false}, Case{u"fingerprint"_s, false, true}, Case{u"neither"_s, false, false}}) {
        SCOPED_TRACE(recorded.name.toStdString());
        m_folder = makeFolder(recorded.name);
        const QString renamed = m_folder + u"/receipt.png"_s;
        const QString deleted = m_folder + u"/a.png"_s;
        overwrite(renamed, "receipt");
        overwrite(deleted, "aaaa");
        const auto analyzer = std::make_shared<ContentAnalyzer>();
        restartAfter([] {}, analyzer);
        ASSERT_TRUE(waitUntil([&] { return allRead({renamed, deleted}); }));
        m_parts.workers.storeWrites().waitForDone();
        const QUuid renamedId = listed(renamed)->id;
        const QUuid deletedId = listed(deleted)->id;
        ASSERT_TRUE(m_store->saveUserData(renamedId, {u"receipt"_s}, u"paid"_s));
        ASSERT_TRUE(m_store->saveUserData(deletedId, {u"a's tag"_s}, u"a's note"_s));

        const QString moved = m_folder + u"/2026/receipt.png"_s;
        const QString fresh = m_folder + u"/b.png"_s;
        restartAfter(
            [&] {
                const auto asRecorded = [&](FileIdentity identity, const QString& path) {
                    identity.birthNs = recorded.hasBirthTime ? identity.birthNs : 0;
                    identity.fingerprint = recorded.hasFingerprint ? FileIdentity::fingerprintOf(path) : 0;
                    return identity;
                };
                FileIdentity was = asRecorded(*FileIdentity::of(deleted), deleted);
                ASSERT_TRUE(QFile::remove(deleted));
                overwrite(fresh, "bbbb");
                giveDate(fresh, was);
                const FileIdentity now = *FileIdentity::of(fresh);
                ASSERT_TRUE(now.hasSameDates(was));
                // Where the freed inode went to another file, the row is
                // told it was this one.
                was.device = now.device;
                was.inode = now.inode;
                QDir().mkpath(QFileInfo(moved).path());
                ASSERT_TRUE(QFile::rename(renamed, moved));
                ASSERT_TRUE(m_store->recordFileFacts(
                    {{deletedId, was, std::nullopt, false},
                     {renamedId, asRecorded(*FileIdentity::of(moved), moved), std::nullopt, false}}));
            },
            analyzer);
        ASSERT_TRUE(waitUntil([&] { return allRead({moved, fresh}); }));
        m_parts.workers.storeWrites().waitForDone();

        EXPECT_NE(listed(fresh)->id, deletedId);
        EXPECT_EQ(listed(fresh)->ocrText, u"bbbb"_s);
        EXPECT_TRUE(m_store->fetchByPath(fresh)->customTags.isEmpty());
        EXPECT_EQ(m_store->fetchByPath(deleted)->customTags, QStringList{u"a's tag"_s}) << "the vanished row waits";
        const bool isSure = recorded.hasBirthTime || recorded.hasFingerprint;
        EXPECT_EQ(listed(moved)->id == renamedId, isSure);
        EXPECT_EQ(m_store->fetchByPath(renamed).has_value(), !isSure);
    }
}

// The same while the program runs, on a file system with birth times and on
// one without (the walks see none; the rows record fingerprints instead).
TEST_F(FileChangesTest, WhileRunningANewFileWithADeletedFilesInodeSizeAndDateNeverTakesItsRow)
{
    for (const bool hasBirthTimes : {true, false}) {
        SCOPED_TRACE(hasBirthTimes ? "birth times" : "no birth times");
        m_folder = makeFolder(hasBirthTimes ? u"Birth"_s : u"NoBirth"_s);
        const QString renamed = m_folder + u"/receipt.png"_s;
        const QString deleted = m_folder + u"/a.png"_s;
        overwrite(renamed, "receipt");
        overwrite(deleted, "aaaa");
        const auto analyzer = std::make_shared<ContentAnalyzer>();
        m_monitor.reset();
        m_monitor = std::make_unique<ScreenshotMonitor>(m_parts.with(m_settings, m_memory, *m_store, analyzer));
        m_monitor->setPollingInterval(50);
        // Files are changed under this lock, so a walk sees all of it or
        // nothing; `reusing` is shown with the inode `deleted` had.
        std::mutex changing;
        QString reusing;
        FileIdentity reused;
        ScreenshotMonitorTestAccess::scanner(*m_monitor)
            .setWalk([&](const QString& folder, const QStringList& extensions) {
                const std::lock_guard guard(changing);
                FolderWalker::Result result = FolderWalker::walk(folder, extensions);
                for (qsizetype i = 0; i < result.files.size(); ++i) {
                    FileIdentity& identity = result.identities[i];
                    identity.birthNs = hasBirthTimes ? identity.birthNs : 0;
                    if (result.files[i] == reusing) {
                        identity.device = reused.device;
                        identity.inode = reused.inode;
                    }
                }
                return result;
            });
        startOn(m_folder);
        ASSERT_TRUE(waitUntil([&] { return allRead({renamed, deleted}); }));
        m_parts.workers.storeWrites().waitForDone();
        settle();
        const QUuid renamedId = listed(renamed)->id;
        const QUuid deletedId = listed(deleted)->id;
        ASSERT_TRUE(m_store->saveUserData(deletedId, {u"a's tag"_s}, u"a's note"_s));

        const QString moved = m_folder + u"/2026/receipt.png"_s;
        const QString fresh = m_folder + u"/b.png"_s;
        {
            const std::lock_guard guard(changing);
            reused = *FileIdentity::of(deleted);
            ASSERT_TRUE(QFile::remove(deleted));
            overwrite(fresh, "bbbb");
            giveDate(fresh, reused);
            reusing = fresh;
            QDir().mkpath(QFileInfo(moved).path());
            ASSERT_TRUE(QFile::rename(renamed, moved));
        }
        m_monitor->forceChangeCheck();
        ASSERT_TRUE(waitUntil([&] { return allRead({moved, fresh}); }));
        m_parts.workers.storeWrites().waitForDone();

        EXPECT_EQ(listed(moved)->id, renamedId);
        EXPECT_NE(listed(fresh)->id, deletedId);
        EXPECT_EQ(listed(fresh)->ocrText, u"bbbb"_s);
        EXPECT_TRUE(m_store->fetchByPath(fresh)->customTags.isEmpty());
        EXPECT_EQ(m_store->fetchByPath(deleted)->customTags, QStringList{u"a's tag"_s}) << "the vanished row waits";
        m_monitor.reset(); // before the walk's captures go
    }
}

// Another file given the name, size and date of the one there (a restore
// that keeps dates, an editor that puts the old date back), while the program
// is closed or while it runs, in its place or in place of one deleted before,
// or the file rewritten in place with its date put back: its bytes tell it
// from the file the row was read from. It is read, and takes neither the
// text nor the tags and note of that file.
TEST_F(FileChangesTest, AnotherFileWithTheNameSizeAndDateOfTheOneThereIsReadAndTakesNoUserData)
{
    const QString shot = m_folder + u"/shot.png"_s;
    overwrite(shot, "aaaa");
    restartAfter([] {}, std::make_shared<ContentAnalyzer>());
    ASSERT_TRUE(waitUntil([&] { return allRead({shot}); }));
    m_parts.workers.storeWrites().waitForDone();
    FileIdentity was;
    const auto giveUserData = [&] {
        ASSERT_TRUE(m_store->saveUserData(m_store->fetchByPath(shot)->id, {u"old tag"_s}, u"old note"_s));
        was = *FileIdentity::of(shot);
    };
    const auto expectReadAnew = [&](const QString& text) {
        ASSERT_TRUE(waitUntil([&] { return allRead({shot}) && listed(shot)->ocrText == text; }));
        m_parts.workers.storeWrites().waitForDone();
        const std::optional<Screenshot> row = m_store->fetchByPath(shot);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->ocrText, text);
        EXPECT_TRUE(row->customTags.isEmpty());
        EXPECT_FALSE(row->userNotes.has_value());
        EXPECT_TRUE(listed(shot)->customTags.isEmpty());
        EXPECT_FALSE(listed(shot)->userNotes.has_value());
        EXPECT_EQ(rowsAt(shot), 1);
    };

    {
        SCOPED_TRACE("written where it was deleted, while closed");
        giveUserData();
        restartAfter(
            [&] {
                ASSERT_TRUE(QFile::remove(shot));
                overwrite(shot, "bbbb");
                giveDate(shot, was);
            },
            std::make_shared<ContentAnalyzer>());
        expectReadAnew(u"bbbb"_s);
    }
    {
        SCOPED_TRACE("rewritten in place with its date put back, while closed");
        giveUserData();
        restartAfter(
            [&] {
                overwrite(shot, "cccc");
                giveDate(shot, was);
                ASSERT_EQ(FileIdentity::of(shot)->inode, was.inode);
            },
            std::make_shared<ContentAnalyzer>());
        expectReadAnew(u"cccc"_s);
    }
    {
        SCOPED_TRACE("put in its place, while running");
        giveUserData();
        changeBetweenWalks([&] { replaceKeepingDate(shot, "dddd", was); });
        expectReadAnew(u"dddd"_s);
    }
    {
        SCOPED_TRACE("rewritten in place with its date put back, while running");
        giveUserData();
        changeBetweenWalks([&] {
            overwrite(shot, "eeee");
            giveDate(shot, was);
        });
        expectReadAnew(u"eeee"_s);
    }
    {
        SCOPED_TRACE("deleted, and later another put there, while running");
        giveUserData();
        changeBetweenWalks([&] { ASSERT_TRUE(QFile::remove(shot)); });
        ASSERT_TRUE(waitUntil([&] { return !listed(shot); }));
        changeBetweenWalks([&] { replaceKeepingDate(shot, "ffff", was); });
        expectReadAnew(u"ffff"_s);
    }
}

// A file touched and its date put back, while the program is closed or while
// it runs (for a library copied with its dates, see above): its change time
// moved, its bytes stayed. The row keeps its text and the user's words, the
// file is not read again, and the new change time is recorded, so that the
// next look reads no bytes.
TEST_F(FileChangesTest, AFileTouchedAndItsDatePutBackKeepsItsRowAndIsNotReadAgain)
{
    const QString shot = m_folder + u"/shot.png"_s;
    overwrite(shot, "aaaa");
    const auto analyzer = std::make_shared<ContentAnalyzer>();
    restartAfter([] {}, analyzer);
    ASSERT_TRUE(waitUntil([&] { return allRead({shot}); }));
    m_parts.workers.storeWrites().waitForDone();
    const QUuid id = listed(shot)->id;
    ASSERT_TRUE(m_store->saveUserData(id, {u"kept"_s}, u"a note"_s));
    const int reads = analyzer->started();

    const auto touchedBack = [&] {
        const FileIdentity was = *FileIdentity::of(shot);
        giveDate(shot, FileIdentity{.modifiedMs = QDateTime::currentMSecsSinceEpoch()});
        giveDate(shot, was);
    };
    const auto expectKept = [&] {
        ASSERT_TRUE(waitUntil([&] { return recordedAt(shot).changedNs == FileIdentity::of(shot)->changedNs; }));
        settle();
        EXPECT_EQ(analyzer->started(), reads) << "read again";
        EXPECT_EQ(listed(shot)->ocrText, u"aaaa"_s);
        const std::optional<Screenshot> row = m_store->fetchByPath(shot);
        EXPECT_EQ(row->id, id);
        EXPECT_EQ(row->ocrText, u"aaaa"_s);
        EXPECT_EQ(row->customTags, QStringList{u"kept"_s});
        EXPECT_EQ(row->userNotes, u"a note"_s);
        EXPECT_FALSE(m_console.contains(u"saved again"_s));
    };
    {
        SCOPED_TRACE("while closed");
        restartAfter(touchedBack, analyzer);
        expectKept();
    }
    {
        SCOPED_TRACE("while running");
        changeBetweenWalks(touchedBack);
        expectKept();
    }
}

// A row of an earlier version recorded its file's device, inode, size and
// date, but neither birth time nor fingerprint. Renamed before the first
// start that keeps them, it cannot be told from a new file given a freed
// inode and is not followed (see above); that start records what it lacks,
// without reading the file again, so that a rename after it is followed.
TEST_F(FileChangesTest, ARowOfAnEarlierVersionIsFollowedWhenRenamedAfterItsFirstStart)
{
    const QString old = writeFile(m_folder + u"/receipt.png"_s);
    const Screenshot row(old, QUuid::createUuid());
    ASSERT_TRUE(m_store->upsert(row));
    ASSERT_TRUE(m_store->updateMetadataBatch({{row.id, u"total 42"_s, {}, QList<double>{0.5}, {}}}));
    ASSERT_TRUE(m_store->saveUserData(row.id, {u"receipt"_s}, u"paid"_s));
    FileIdentity earlier = *FileIdentity::of(old);
    earlier.birthNs = 0;
    earlier.changedNs = 0;
    ASSERT_TRUE(m_store->recordFileFacts({{row.id, earlier}}));
    ASSERT_EQ(recordedAt(old), earlier);

    startOn(m_folder);
    settle();
    EXPECT_EQ(m_store->fetchByPath(old)->ocrText, u"total 42"_s);
    EXPECT_FALSE(m_console.contains(u"saved again"_s));
    const FileIdentity recorded = recordedAt(old);
    EXPECT_EQ(recorded.birthNs, FileIdentity::of(old)->birthNs);
    EXPECT_TRUE(recorded.birthNs != 0 || recorded.fingerprint != 0) << "nothing makes a rename sure";

    const QString moved = m_folder + u"/2026/receipt.png"_s;
    restartAfter([&] {
        QDir().mkpath(QFileInfo(moved).path());
        ASSERT_TRUE(QFile::rename(old, moved));
    });
    settle();
    expectFollowed(old, moved, row.id, u"receipt"_s, u"paid"_s);
}

TEST_F(FileChangesTest, ARenamedOrMovedFileKeepsItsRowWithTagsAndNotes)
{
    const QString old = writeFile(m_folder + u"/old.png"_s);
    const QString other = writeFile(m_folder + u"/other.png"_s);
    startOn(m_folder);
    // The first analysis written before the row is given its own text.
    ASSERT_TRUE(waitUntil([&] { return listed(old) && listed(other) && !m_monitor->isProcessing(); }));
    m_parts.workers.storeWrites().waitForDone();
    const QUuid id = listed(old)->id;
    ASSERT_TRUE(m_store->saveUserData(id, {u"receipt"_s}, u"paid in May"_s));
    ASSERT_TRUE(m_store->updateMetadataBatch({{id, u"total 42"_s, {}, QList<double>{0.5}, {}}}));

    // Moved into a sub-folder under a new name while the store cannot be
    // written: nothing changes until it can.
    m_store->simulateFault(DatabaseManager::Fault::readOnly);
    const QString moved = m_folder + u"/2026/new name.png"_s;
    QDir().mkpath(QFileInfo(moved).path());
    ASSERT_TRUE(QFile::rename(old, moved));
    settle();
    EXPECT_TRUE(listed(old)) << "the old name stays until the row can follow";
    EXPECT_FALSE(listed(moved));

    m_store->simulateFault(DatabaseManager::Fault::none);
    ASSERT_TRUE(waitUntil([&] { return listed(moved).has_value(); }));
    expectFollowed(old, moved, id, u"receipt"_s, u"paid in May"_s);
    EXPECT_TRUE(m_console.contains(u"🔄 Detected 1 renamed or moved files"_s));

    // A file deleted and another written at once may get the freed inode; it
    // still is a new file, with a row of its own.
    const QUuid otherId = listed(other)->id;
    ASSERT_TRUE(m_store->saveUserData(otherId, {u"old tag"_s}, std::nullopt));
    QFile::remove(other);
    const QString fresh = writeFile(m_folder + u"/fresh.png"_s);
    ASSERT_TRUE(waitUntil([&] { return listed(fresh) && !listed(other); }));
    EXPECT_NE(listed(fresh)->id, otherId);
    EXPECT_TRUE(m_store->fetchByPath(fresh)->customTags.isEmpty());
    EXPECT_EQ(m_store->fetchByPath(other)->customTags, QStringList{u"old tag"_s}) << "the vanished file keeps its row";
}

TEST_F(FileChangesTest, NewFilesWaitUntilTheStoreTakesThem)
{
    // Found by the load, and found by a later walk.
    for (const bool byLoad : {true, false}) {
        SCOPED_TRACE(byLoad ? "load" : "walk");
        const QString folder = makeFolder(byLoad ? u"Load"_s : u"Walk"_s);
        const QString kept = writeFile(folder + u"/kept.png"_s);
        QString waiting;
        if (byLoad) {
            waiting = writeFile(folder + u"/waiting.png"_s);
            m_store->simulateFault(DatabaseManager::Fault::readOnly);
            startOn(folder);
        } else {
            startOn(folder);
            ASSERT_TRUE(waitUntil([&] { return listed(kept).has_value(); }));
            m_store->simulateFault(DatabaseManager::Fault::readOnly);
            waiting = writeFile(folder + u"/waiting.png"_s);
        }
        settle();
        EXPECT_FALSE(listed(waiting)) << "a file without a row is not listed";
        EXPECT_FALSE(m_monitor->knownFiles().contains(waiting));
        EXPECT_FALSE(m_store->health().canWrite());

        m_store->simulateFault(DatabaseManager::Fault::none);
        ASSERT_TRUE(waitUntil([&] { return listed(waiting) && listed(kept); }));
        settle();
        EXPECT_EQ(m_store->count(folder), 2);
        EXPECT_EQ(m_store->fetchByPath(waiting)->id, listed(waiting)->id);
    }
}

TEST_F(FileChangesTest, NamesThatAreNotUtf8AreSkippedEachWithOneLine)
{
    const QString plain = writeFile(m_folder + u"/plain.png"_s);
    // Two names that would both read "shot?.png" if decoded with replacement.
    writeRaw(m_folder, "shot\xff.png");
    writeRaw(m_folder, "shot\xfe.png");
    const QByteArray badFolder = QFile::encodeName(m_folder) + "/dir\xc3";
    ASSERT_EQ(::mkdir(badFolder.constData(), 0755), 0);
    writeRaw(m_folder, "dir\xc3/inner.png");

    startOn(m_folder);
    settle();
    writeFile(m_folder + u"/later.png"_s); // another walk, which meets the names again
    ASSERT_TRUE(waitUntil([&] { return listed(m_folder + u"/later.png"_s).has_value(); }));

    QStringList paths = listedPaths();
    paths.sort();
    EXPECT_EQ(paths, QStringList({m_folder + u"/later.png"_s, plain}));
    EXPECT_EQ(m_store->count(m_folder), 2);
    const QStringList lines = m_console.matching(u"⚠️ Skipped an entry whose name is not valid UTF-8: "_s);
    EXPECT_EQ(lines.size(), 3);
    for (const QString& name : {u"/shot\\xFF.png"_s, u"/shot\\xFE.png"_s, u"/dir\\xC3"_s})
        EXPECT_EQ(lines.filter(m_folder + name).size(), 1) << name.toStdString();

    // Qt cannot name these to remove them with the temporary folder.
    const QByteArray folder = QFile::encodeName(m_folder);
    for (const char* name : {"/shot\xff.png", "/shot\xfe.png", "/dir\xc3/inner.png"})
        ::unlink((folder + name).constData());
    ::rmdir(badFolder.constData());
}
