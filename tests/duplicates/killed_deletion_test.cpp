#include "DuplicateLibrary.h"
#include "core/LogTimer.h"
#include "support/CrashPoint.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

// A deletion killed between a file's move to the Trash and the removal of its
// row, in a child process; then the application's start over what it left:
// no content lost, one row per file left, every tag and note kept (those of
// the trashed copies on the copy that stayed).
namespace {
const QByteArray kShot = "the same screenshot, three times";
const QByteArray kOther = "another one, twice";

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> contentsBelow(const QString& folder)
{
    QList<QByteArray> contents;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        contents.append(contentOf(it.next()));
    return contents;
}

QString lineAfter(const QByteArray& output, const QByteArray& label)
{
    const qsizetype start = output.indexOf(label);
    if (start < 0)
        return {};
    const qsizetype end = output.indexOf('\n', start);
    return QString::fromUtf8(output.mid(start + label.size(), end - start - label.size()));
}
} // namespace

class DuplicatesKilled : public DuplicateLibrary
{};

TEST_F(DuplicatesKilled, ChildRun)
{
    if (!CrashPoint::isChild())
        GTEST_SKIP() << "runs only as the child of ADeletionKilledBetweenTrashAndRowLeavesNoRowBehind";
    std::fprintf(stderr, "LIBRARY %s\nHOME %s\n", qPrintable(m_dir.path()), qPrintable(TestEnvironment::home()));
    std::fflush(stderr);
    const QStringList names{u"a.png"_s, u"b.png"_s, u"c.png"_s, u"x.png"_s, u"y.png"_s, u"single.png"_s};
    const QList<QByteArray> contents{kShot, kShot, kShot, kOther, kOther, "alone"};
    for (qsizetype i = 0; i < names.size(); ++i)
        plant(names[i], contents[i], int(30 - i));
    for (const QString& name : names) {
        const auto row = m_store.fetchByPath(m_folder + u'/' + name);
        ASSERT_TRUE(row && m_store.saveUserData(row->id, {u"tag of "_s + name}, u"note of "_s + name));
    }
    startMonitoring(int(names.size()));
    analyse();
    int trashed = 0;
    m_trash.afterMove = [&](const QString&) { CrashPoint::reach(u"trashed-%1"_s.arg(++trashed)); };
    QSignalSpy finished(&model(), &DuplicateFinderViewModel::deletionFinished);
    model().autoDeleteKeepingNewest();
    // Killed on the way; a deletion that ends has not reached its point.
    waitUntil([&] { return finished.count() > 0; }, 60'000);
    FAIL() << "the deletion ended without reaching its point";
}

TEST(DuplicatesKilledParent, ADeletionKilledBetweenTrashAndRowLeavesNoRowBehind)
{
    QTemporaryDir scratch; // the child makes its library itself
    const CrashPoint::ChildEnd child =
        CrashPoint::runChild(u"DuplicatesKilled.ChildRun"_s, u"trashed-2"_s, scratch.path());
    const QString library = lineAfter(child.output, "LIBRARY ");
    const QString home = lineAfter(child.output, "HOME ");
    const auto cleanUp = qScopeGuard([&] {
        for (const QString& folder : {library, home})
            if (!folder.isEmpty())
                QDir(folder).removeRecursively();
    });
    ASSERT_TRUE(child.killed) << child.output.toStdString();
    ASSERT_FALSE(library.isEmpty());
    const QString folder = library + u"/Desktop"_s;

    DatabaseManager store(library + u"/store.sqlite"_s);
    const QStringList settled = DuplicateFinderViewModel::recoverInterruptedDeletion(store); // as at start
    EXPECT_EQ(settled.size(), 1);

    // Nothing lost: each content is still in the folder, and what is not is
    // in the Trash.
    const QList<QByteArray> left = contentsBelow(folder);
    const QList<QByteArray> inTrash = contentsBelow(home + u"/.local/share/Trash/files"_s);
    EXPECT_EQ(inTrash.size(), 2);
    EXPECT_EQ(left.size() + inTrash.size(), 6);
    for (const QByteArray& content : {kShot, kOther, QByteArray("alone")})
        EXPECT_TRUE(left.contains(content)) << content.toStdString();

    LogTimer timer(u"test"_s);
    const QList<Screenshot> rows = store.fetchPage(std::nullopt, 100, 0, true, timer);
    EXPECT_EQ(rows.size(), left.size());
    QStringList tags;
    QString notes;
    for (const Screenshot& row : rows) {
        EXPECT_TRUE(QFileInfo(row.filePath).isFile()) << row.filePath.toStdString();
        ASSERT_FALSE(row.customTags.isEmpty());
        EXPECT_EQ(row.customTags.first(), u"tag of "_s + row.filename) << "its own words first";
        EXPECT_TRUE(row.userNotes.value_or(QString()).startsWith(u"note of "_s + row.filename));
        tags += row.customTags;
        notes += row.userNotes.value_or(QString()) + u'\n';
    }
    // The trashed copies' words are on the copy that stayed, the one whose
    // row outlived its file included.
    for (const QString& name : {u"a.png"_s, u"b.png"_s, u"c.png"_s, u"x.png"_s, u"y.png"_s, u"single.png"_s}) {
        EXPECT_EQ(tags.count(u"tag of "_s + name), 1) << name.toStdString();
        EXPECT_TRUE(notes.contains(u"note of "_s + name)) << name.toStdString();
    }
    EXPECT_TRUE(DuplicateFinderViewModel::recoverInterruptedDeletion(store).isEmpty());
}
