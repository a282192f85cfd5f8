// The application's own start settles what a tool cut short left behind,
// before the library loads, without any tool being opened: the space saver's
// journal here, whose settling the space saver screen then tells once.

#include "app/AppServices.h"
#include "core/DatabaseManager.h"
#include "core/Uuid.h"
#include "platform/FileOps.h"
#include "platform/SafeFile.h"
#include "platform/SpellChecker.h"
#include "spacesaver/CompressionJournal.h"
#include "spacesaver/SpaceSaverView.h"
#include "support/Capture.h"
#include "support/Fakes.h"
#include "support/MonitorServices.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(StartRecovery, TheStartSettlesAnUnfinishedSpaceSaverRunAndItsScreenSaysSoOnce)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(u"data"_s);
    const QString shots = dir.filePath(u"Shots"_s);
    QDir().mkpath(data);
    QDir().mkpath(shots);
    const QString image = shots + u"/shot.png"_s;
    const QString rendition = shots + u"/shot.heic"_s;
    QImage picture(320, 200, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(image));
    {
        QFile heic(rendition);
        ASSERT_TRUE(heic.open(QIODevice::WriteOnly));
        heic.write("a smaller rendition");
    }
    const QString databasePath = data + u"/Brindlework.sqlite"_s;
    const Screenshot row(image, QUuid::createUuid());
    {
        // Killed mid-run: the rendition placed and its row on it, the image
        // not yet removed.
        DatabaseManager store(databasePath);
        ASSERT_TRUE(store.upsert(row));
        ASSERT_TRUE(store.saveUserData(row.id, {u"kept"_s}, u"a note"_s));
        ASSERT_TRUE(store.updateFilePath(rendition, uuidText(row.id)));
    }
    SystemFileOps fileOps;
    const CompressionJournal journal(fileOps, data + u'/' + CompressionJournal::fileName);
    ASSERT_TRUE(
        journal.write({{uuidText(row.id), image, shots + u"/shot.temp.heic"_s, rendition, *SafeFile::stampOf(image)}}));

    ConsoleCapture console;
    AppServices services({.settingsPath = dir.filePath(u"settings.conf"_s),
                          .databasePath = databasePath,
                          .memorySource = std::make_unique<PlentyOfMemory>(),
                          .analyzer = std::make_shared<NothingAnalyzer>(),
                          .spellChecker = std::make_shared<NullSpellChecker>(),
                          .dataFolder = data});

    EXPECT_FALSE(QFileInfo::exists(journal.path()));
    EXPECT_FALSE(QFileInfo::exists(rendition));
    const auto settled = services.store().fetchByPath(image);
    ASSERT_TRUE(settled);
    EXPECT_EQ(settled->id, row.id);
    EXPECT_EQ(settled->fileSize, QFileInfo(image).size());
    EXPECT_EQ(settled->customTags, QStringList{u"kept"_s});

    SpaceSaverView screen(services.compression(), services.monitor(), services.notSmaller());
    EXPECT_TRUE(screen.settledRunNotice()->isVisibleTo(&screen));
    EXPECT_EQ(screen.settledRunText(), u"An unfinished space saver run was settled at start: 1 image was left as it "
                                       u"was."_s);
    screen.settledRunNotice()->findChild<QAbstractButton*>()->click();
    EXPECT_FALSE(screen.settledRunNotice()->isVisibleTo(&screen));

    SpaceSaverView again(services.compression(), services.monitor(), services.notSmaller());
    EXPECT_FALSE(again.settledRunNotice()->isVisibleTo(&again)) << "told once";
    services.shutDown();
}
