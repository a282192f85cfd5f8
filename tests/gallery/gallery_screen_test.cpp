#include "core/DatabaseManager.h"
#include "core/ImageCache.h"
#include "core/MemoryMonitor.h"
#include "core/Settings.h"
#include "gallery/DashboardPreviewView.h"
#include "gallery/GalleryGridView.h"
#include "gallery/GalleryHeader.h"
#include "gallery/GalleryView.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "platform/Trash.h"
#include "preview/ImagePreviewView.h"
#include "preview/MetadataInspectorView.h"
#include "support/Capture.h"
#include "support/FakeDesktop.h"
#include "support/FakeVideoBackend.h"
#include "support/Fakes.h"
#include "support/GalleryServices.h"
#include "support/MonitorTestAccess.h"
#include "support/TestEnvironment.h"
#include "support/Wait.h"
#include "ui/CustomVideoPlayer.h"
#include "ui/Motion.h"
#include "ui/ShadowUnderlay.h"
#include "ui/ThumbnailLoader.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSemaphore>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QWindow>

#include <gtest/gtest.h>

namespace {
// Refuses the files whose names it is given; the others go to the real Trash.
class PickyTrash : public Trash
{
public:
    QStringList refused;
    // When set, each move waits for a permit: a deletion held mid-run.
    QSemaphore* gate = nullptr;
    Result moveToTrash(const QString& path) override
    {
        if (gate)
            gate->acquire();
        if (refused.contains(QFileInfo(path).fileName()))
            return {false, {}, QStringLiteral("Permission denied")};
        return m_system.moveToTrash(path);
    }

private:
    SystemTrash m_system;
};

// A gallery over real files in a granted folder, a real monitor and store;
// only the person (folder chooser) and the desktop are fakes.
class GalleryScreenTest : public ::testing::Test
{
protected:
    GalleryScreenTest()
        : m_settings(m_dir.filePath(QStringLiteral("settings.conf")))
        , m_memory(std::make_unique<PlentyOfMemory>(), std::chrono::hours(1))
        , m_store(m_dir.filePath(QStringLiteral("store.sqlite")))
        , m_monitor(m_parts.with(m_settings, m_memory, m_store))
    {
        m_folder = m_dir.filePath(QStringLiteral("Shots"));
        QDir().mkpath(m_folder);
        auto chooser = std::make_unique<FakeFolderChooser>();
        m_monitorChooser = chooser.get();
        m_monitor.setFolderChooser(std::move(chooser));
    }

    ~GalleryScreenTest() override
    {
        m_gallery.reset();
        m_parts.workers.thumbnails().waitForDone();
    }

    QString writeShot(const QString& name, QSize size = {320, 200})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkBlue);
        const QString path = QDir(m_folder).filePath(name);
        image.save(path);
        return path;
    }

    // `count` files more than `written` already, granted and loaded by the
    // real monitor.
    void makeLibrary(int count, int written = 0)
    {
        for (int i = 0; i < count; ++i)
            writeShot(QStringLiteral("shot-%1.png").arg(i));
        m_monitorChooser->answer = m_folder;
        m_monitor.requestFolderAccess();
        openGallery();
        ASSERT_TRUE(waitUntil([&] { return model().visibleScreenshots().size() == count + written; }, 10000));
    }

    void openGallery(std::optional<SmartCollection> collection = std::nullopt)
    {
        m_gallery = std::make_unique<GalleryView>(
            collection, nullptr,
            GalleryView::Services{m_monitor, m_settings, m_cache, m_desktop, m_sheetChooser, m_trash, m_store,
                                  m_parts.workers, m_parts.search, m_parts.events, m_video});
        m_gallery->resize(1200, 800);
        m_gallery->show();
        QApplication::processEvents();
    }

    GalleryViewModel& model() const { return m_gallery->viewModel(); }
    Screenshot shot(int index) const { return model().visibleScreenshots().at(index); }
    QMessageBox* box(const QString& name) const { return m_gallery->findChild<QMessageBox*>(name); }

    void press(QMessageBox* message, const QString& text)
    {
        for (QAbstractButton* button : message->buttons()) {
            if (button->text() == text) {
                button->click();
                return;
            }
        }
        FAIL() << "no button " << text.toStdString();
    }

    InstantMotionScope m_instant;
    ConsoleCapture m_console;
    QTemporaryDir m_dir;
    GalleryServices m_parts;
    Settings m_settings;
    MemoryMonitor m_memory;
    DatabaseManager m_store;
    ScreenshotMonitor m_monitor;
    FakeFolderChooser* m_monitorChooser = nullptr;
    FakeFolderChooser m_sheetChooser;
    FakeDesktop m_desktop;
    FakeVideoBackend m_video;
    PickyTrash m_trash;
    ImageCache m_cache;
    QString m_folder;
    std::unique_ptr<GalleryView> m_gallery;
};

TEST_F(GalleryScreenTest, ZoomStepsClampAndTheSliderNeverFeedsBack)
{
    openGallery();
    struct Case
    {
        double from;
        bool in;
        double to;
    };
    for (const Case c : {Case{0.6, false, 0.5}, Case{0.5, false, 0.5}, Case{1.9, true, 2.0}, Case{2.0, true, 2.0},
                         Case{1.0, true, 1.25}}) {
        m_gallery->setGridScale(c.from);
        c.in ? m_gallery->zoomIn() : m_gallery->zoomOut();
        EXPECT_DOUBLE_EQ(m_gallery->gridScale(), c.to) << c.from;
    }
    // A pinch compounds: 1.2 on 1.0 gives 1.1, again 1.21; the slider
    // follows without rounding the scale.
    m_gallery->setGridScale(1.0);
    m_gallery->applyMagnification(1.2);
    EXPECT_DOUBLE_EQ(m_gallery->gridScale(), 1.1);
    m_gallery->applyMagnification(1.2);
    EXPECT_DOUBLE_EQ(m_gallery->gridScale(), 1.1 * 1.1);
    EXPECT_EQ(m_gallery->header().zoomSlider()->value(), 121);
    // Far beyond the range: the scale stops at the bound and the slider,
    // synced to it, writes nothing back.
    m_gallery->applyMagnification(50);
    EXPECT_DOUBLE_EQ(m_gallery->gridScale(), 2.0);
    EXPECT_DOUBLE_EQ(m_gallery->grid().gridScale(), 2.0);
    EXPECT_EQ(m_gallery->header().zoomSlider()->value(), 200);
    m_gallery->applyMagnification(0.01); // pinching hard halves it
    EXPECT_DOUBLE_EQ(m_gallery->gridScale(), 1.01);
    EXPECT_EQ(m_gallery->header().zoomSlider()->value(), 101);
    m_gallery->applyMagnification(0.01);
    EXPECT_DOUBLE_EQ(m_gallery->gridScale(), 1.01 * 0.505) << "the slider rounded the scale";
    m_gallery->applyMagnification(0.01);
    EXPECT_DOUBLE_EQ(m_gallery->gridScale(), 0.5);
    EXPECT_EQ(m_gallery->header().zoomSlider()->value(), 50);
}

TEST_F(GalleryScreenTest, SearchFieldAndClearButtonMoveNothing)
{
    makeLibrary(3);
    GalleryHeader& header = m_gallery->header();
    const QRect gridPlace = m_gallery->grid().geometry();
    QLineEdit* search = header.searchField();
    EXPECT_FALSE(header.clearButton()->isVisible());

    QTest::keyClicks(search, QStringLiteral("zzqq"));
    EXPECT_EQ(model().searchText(), QStringLiteral("zzqq"));
    EXPECT_TRUE(header.clearButton()->isVisible());
    QApplication::processEvents();
    EXPECT_EQ(m_gallery->grid().geometry(), gridPlace) << "the first letter moved the grid";
    ASSERT_TRUE(waitUntil([&] { return model().visibleScreenshots().isEmpty(); }));

    QTest::mouseClick(header.clearButton(), Qt::LeftButton);
    EXPECT_TRUE(search->text().isEmpty());
    EXPECT_FALSE(header.clearButton()->isVisible());
    EXPECT_TRUE(model().searchText().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return model().visibleScreenshots().size() == 3; }));
    EXPECT_EQ(model().sections().front().title, QStringLiteral("Today"));
}

TEST_F(GalleryScreenTest, ToolbarFollowsSelectionModeAndThePillTheMonitor)
{
    openGallery();
    GalleryHeader& header = m_gallery->header();
    auto* selectMode = header.findChild<QAbstractButton*>(QStringLiteral("selectMode"));
    auto* changeFolder = header.findChild<QAbstractButton*>(QStringLiteral("changeFolder"));
    auto* done = header.findChild<QAbstractButton*>(QStringLiteral("done"));
    ASSERT_TRUE(selectMode && changeFolder && done);
    EXPECT_EQ(selectMode->toolTip(), QStringLiteral("Select Mode"));
    EXPECT_EQ(changeFolder->toolTip(), QStringLiteral("Change Folder"));
    EXPECT_FALSE(done->isVisible());

    selectMode->click();
    EXPECT_TRUE(model().isSelectionMode());
    EXPECT_FALSE(selectMode->isVisible());
    EXPECT_FALSE(changeFolder->isVisible());
    ASSERT_TRUE(done->isVisible());
    model().setSelectedIds({QUuid::createUuid()});
    done->click();
    EXPECT_FALSE(model().isSelectionMode());
    EXPECT_TRUE(model().selectedIds().isEmpty());
    EXPECT_TRUE(selectMode->isVisible());
    EXPECT_FALSE(done->isVisible());

    EXPECT_FALSE(header.isProcessingShown());
    ScreenshotMonitorTestAccess::publishProgress(m_monitor, {.isProcessing = true});
    EXPECT_TRUE(header.isProcessingShown());
    ScreenshotMonitorTestAccess::publishProgress(m_monitor, {.isProcessing = false});
    EXPECT_FALSE(header.isProcessingShown());
}

TEST_F(GalleryScreenTest, ClicksFollowModeAndSelection)
{
    makeLibrary(4);
    const Screenshot a = shot(0), b = shot(1);

    m_gallery->setGalleryMode(GalleryViewMode::informative);
    m_gallery->handleSingleTap(a);
    ASSERT_TRUE(m_gallery->focusedScreenshot());
    EXPECT_EQ(m_gallery->focusedScreenshot()->id, a.id);
    EXPECT_FALSE(m_gallery->isShowingPreview());
    EXPECT_EQ(m_gallery->inspector().screenshot()->id, a.id);

    m_gallery->setGalleryMode(GalleryViewMode::minimal);
    EXPECT_FALSE(m_gallery->isInspectorShown());
    m_gallery->handleSingleTap(b);
    EXPECT_TRUE(m_gallery->isShowingPreview());
    EXPECT_EQ(m_gallery->previewScreenshot()->id, b.id);
    m_gallery->setShowingPreview(false);

    // Ctrl+click enters selection mode and selects; a plain click then
    // deselects and the mode stays on.
    QWidget* cards = m_gallery->grid().viewport();
    QTest::mouseClick(cards, Qt::LeftButton, Qt::ControlModifier, m_gallery->grid().cardRect(a.id)->center());
    EXPECT_TRUE(model().isSelectionMode());
    EXPECT_EQ(model().selectedIds(), QSet<QUuid>{a.id});
    m_gallery->handleSingleTap(a);
    EXPECT_TRUE(model().selectedIds().isEmpty());
    EXPECT_TRUE(model().isSelectionMode());
    // A double click in selection mode opens nothing.
    m_gallery->handleDoubleTap(a);
    EXPECT_FALSE(m_gallery->isShowingPreview());
}

TEST_F(GalleryScreenTest, CheckButtonTogglesWithoutFocusing)
{
    makeLibrary(2);
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    const Screenshot a = shot(0);
    Q_EMIT m_gallery->grid().checkToggled(a);
    EXPECT_EQ(model().selectedIds(), QSet<QUuid>{a.id});
    EXPECT_FALSE(m_gallery->focusedScreenshot());
    EXPECT_TRUE(m_gallery->isSelectionBarShown());
}

TEST_F(GalleryScreenTest, TheSelectionBarAndTheSearchGroupCastTheirShadows)
{
    makeLibrary(6);
    QWidget* search = m_gallery->header().findChild<QWidget*>(QStringLiteral("searchGroup"));
    ASSERT_NE(ShadowUnderlay::of(*search), nullptr);
    EXPECT_TRUE(ShadowUnderlay::of(*search)->isVisible());

    const auto brightnessBelowBar = [&] {
        QApplication::processEvents();
        const QRect bar = m_gallery->selectionBar().geometry();
        return qGray(m_gallery->grab().toImage().pixel(bar.center().x(), bar.bottom() + 6));
    };
    m_gallery->grid().viewport()->repaint();
    const int bare = brightnessBelowBar();
    model().setSelectedIds({shot(0).id});
    ASSERT_TRUE(m_gallery->isSelectionBarShown());
    EXPECT_LT(brightnessBelowBar(), bare) << "nothing darkens the ground below the bar";
    ShadowUnderlay* barShadow = ShadowUnderlay::of(m_gallery->selectionBar());
    ASSERT_NE(barShadow, nullptr);
    EXPECT_TRUE(barShadow->isVisible());
    model().setSelectedIds({});
    QApplication::processEvents();
    EXPECT_FALSE(barShadow->isVisible());
}

TEST_F(GalleryScreenTest, ContextDeleteAsksForOneAndCancelKeepsOnlyThatCard)
{
    makeLibrary(5);
    model().setIsSelectionMode(true);
    model().setSelectedIds({shot(0).id, shot(1).id, shot(2).id});
    const Screenshot other = shot(4);
    QMenu* menu = m_gallery->contextMenu(other);
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->text());
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Open"), QStringLiteral("Show in File Manager"), QString(),
                                  QStringLiteral("Select"), QStringLiteral("Delete")}));
    menu->actions().at(4)->trigger();
    QMessageBox* confirm = box(QStringLiteral("deleteConfirmation"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(confirm->text(), QStringLiteral("Delete 1 Photos?"));
    EXPECT_EQ(confirm->windowModality(), Qt::WindowModal);
    press(confirm, QStringLiteral("Cancel"));
    EXPECT_EQ(model().selectedIds(), QSet<QUuid>{other.id});
    EXPECT_EQ(model().visibleScreenshots().size(), 5);

    menu = m_gallery->contextMenu(other);
    menu->actions().at(1)->trigger();
    EXPECT_EQ(m_desktop.shown, QStringList{other.filePath});
}

TEST_F(GalleryScreenTest, ShareHandsTheSelectedFilesToTheDesktopInTheGridsOrder)
{
    makeLibrary(4);
    const Screenshot a = shot(0), c = shot(2);
    model().setSelectedIds({c.id, a.id, QUuid::createUuid()}); // an id no longer listed is left out
    ASSERT_TRUE(m_gallery->isSelectionBarShown());
    m_gallery->selectionBar().shareButton()->click();
    QMenu* menu = m_gallery->findChild<QMenu*>(QStringLiteral("shareMenu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->text());
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Copy to Clipboard"), QStringLiteral("Send by Email…"),
                                  QStringLiteral("Show in File Manager")}));
    const QStringList both{a.filePath, c.filePath};
    for (QAction* action : menu->actions())
        action->trigger();
    EXPECT_EQ(m_desktop.copied, QList<QStringList>{both});
    EXPECT_EQ(m_desktop.mailed, QList<QStringList>{both});
    EXPECT_EQ(m_desktop.shownTogether, QList<QStringList>{both});
    EXPECT_EQ(box(QStringLiteral("mailFailed")), nullptr);
    EXPECT_EQ(model().selectedIds().size(), 3) << "sharing changed the selection";

    // Without a mail program the user is told.
    m_desktop.mailSucceeds = false;
    m_gallery->shareMenu()->actions().at(1)->trigger();
    QMessageBox* failed = box(QStringLiteral("mailFailed"));
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->text(), QStringLiteral("No mail program could be started"));
}

TEST_F(GalleryScreenTest, NamesWithHashAndPercentReachTheDesktopWhole)
{
    writeShot(QStringLiteral("#1 100% <b>x.png"));
    m_monitorChooser->answer = m_folder;
    m_monitor.requestFolderAccess();
    openGallery();
    ASSERT_TRUE(waitUntil([&] { return model().visibleScreenshots().size() == 1; }));
    const Screenshot odd = model().visibleScreenshots().front();
    m_gallery->contextMenu(odd)->actions().at(1)->trigger();
    EXPECT_EQ(m_desktop.shown, QStringList{odd.filePath});

    m_gallery->setGalleryMode(GalleryViewMode::informative);
    m_gallery->handleSingleTap(odd);
    QTest::mouseClick(m_gallery->inPlacePreview()->openButton(), Qt::LeftButton);
    EXPECT_EQ(m_desktop.opened, QStringList{odd.filePath});

    const QUrl url = DesktopIntegration::fileUrl(odd.filePath);
    EXPECT_EQ(url.toLocalFile(), odd.filePath);
    EXPECT_TRUE(url.toString(QUrl::FullyEncoded).endsWith(QStringLiteral("/%231%20100%25%20%3Cb%3Ex.png")));
}

TEST_F(GalleryScreenTest, ConfirmedDeletionTrashesRemovesAndReportsRefusals)
{
    makeLibrary(4);
    const Screenshot kept = shot(0), gone = shot(1), refused = shot(2);
    m_trash.refused = {refused.filename};
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    m_gallery->handleSingleTap(gone); // focused, then trashed
    model().setIsSelectionMode(true);
    model().setSelectedIds({gone.id, refused.id});
    m_gallery->deleteCommand();
    QMessageBox* confirm = box(QStringLiteral("deleteConfirmation"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(confirm->text(), QStringLiteral("Delete 2 Photos?"));
    press(confirm, QStringLiteral("Delete"));
    // The files are handled off the GUI thread; the screen changes once they are.
    ASSERT_TRUE(waitUntil([&] { return !model().isDeleting(); }));

    EXPECT_FALSE(QFile::exists(gone.filePath));
    EXPECT_TRUE(QFile::exists(refused.filePath));
    EXPECT_FALSE(model().isSelectionMode());
    EXPECT_FALSE(m_gallery->isSelectionBarShown());
    EXPECT_FALSE(m_gallery->focusedScreenshot()) << "a trashed file stays on show";
    ASSERT_TRUE(waitUntil([&] { return !model().visibleScreenshots().contains(gone); }));
    const auto shown = model().visibleScreenshots();
    EXPECT_TRUE(shown.contains(refused));
    EXPECT_TRUE(shown.contains(kept));
    EXPECT_FALSE(m_store.fetchByPath(gone.filePath).has_value()) << "its row stays";
    EXPECT_TRUE(m_store.fetchByPath(refused.filePath).has_value());
    EXPECT_FALSE(m_gallery->grid().cardRect(gone.id).has_value()) << "its card stays";
    EXPECT_TRUE(m_gallery->grid().cardRect(refused.id).has_value());
    QMessageBox* failed = box(QStringLiteral("deletionFailed"));
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->text(), QStringLiteral("1 could not be moved to the Trash"));
    const QString trashed = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                                .filePath(QStringLiteral("Trash/files/") + gone.filename);
    EXPECT_TRUE(QFile::exists(trashed));
}

TEST_F(GalleryScreenTest, DeleteKeysBelongToAFocusedTextField)
{
    makeLibrary(2);
    const QUuid selected = shot(0).id;
    model().setSelectedIds({selected});
    QLineEdit* search = m_gallery->header().searchField();
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("abc"));
    QTest::keyClick(search, Qt::Key_Backspace);
    EXPECT_EQ(search->text(), QStringLiteral("ab"));
    EXPECT_EQ(box(QStringLiteral("deleteConfirmation")), nullptr);

    // On the grid both keys ask.
    for (const Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace}) {
        // Without a window manager a closed alert hands nothing back.
        m_gallery->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_gallery.get()));
        m_gallery->grid().setFocus();
        QTest::keyClick(&m_gallery->grid(), key);
        QMessageBox* confirm = box(QStringLiteral("deleteConfirmation"));
        ASSERT_NE(confirm, nullptr) << key;
        EXPECT_EQ(confirm->text(), QStringLiteral("Delete 1 Photos?"));
        press(confirm, QStringLiteral("Cancel"));
        ASSERT_TRUE(waitUntil([&] { return box(QStringLiteral("deleteConfirmation")) == nullptr; }));
    }
    EXPECT_EQ(model().selectedIds(), QSet<QUuid>{selected});
}

TEST_F(GalleryScreenTest, SpotlightOpensOnlyValidKnownIdsOnAVisibleGallery)
{
    makeLibrary(3);
    const Screenshot target = shot(1);
    const QVariantMap ignored[] = {
        {},
        {{QStringLiteral("id"), 42}},
        {{QStringLiteral("id"), QStringLiteral("not-a-uuid")}},
        {{QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()}},
    };
    for (const QVariantMap& info : ignored)
        Q_EMIT m_parts.events.openScreenshot(info);
    EXPECT_FALSE(m_gallery->isShowingPreview());
    EXPECT_TRUE(model().selectedIds().isEmpty());

    const QVariantMap valid{{QStringLiteral("id"), target.id.toString(QUuid::WithoutBraces).toUpper()}};
    m_gallery->hide();
    Q_EMIT m_parts.events.openScreenshot(valid);
    EXPECT_FALSE(m_gallery->isShowingPreview());

    m_gallery->show();
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    Q_EMIT m_parts.events.openScreenshot(valid);
    EXPECT_TRUE(m_gallery->isShowingPreview());
    EXPECT_EQ(m_gallery->previewScreenshot()->id, target.id);
    EXPECT_EQ(model().selectedIds(), QSet<QUuid>{target.id});
    EXPECT_FALSE(model().isSelectionMode());
    EXPECT_TRUE(m_console.lines().contains(QStringLiteral("🔦 Opening from Spotlight: ") + target.filename));
}

TEST_F(GalleryScreenTest, SpotlightOpensAScreenshotOutsideTheActiveCollection)
{
    makeLibrary(3);
    const Screenshot target = shot(2);
    SmartCollection none;
    none.id = QUuid::createUuid();
    none.name = QStringLiteral("Nothing");
    none.predicate = [](const Screenshot&) { return false; };
    m_gallery->setActiveCollection(none);
    ASSERT_TRUE(waitUntil([&] { return model().visibleScreenshots().isEmpty(); }));
    Q_EMIT m_parts.events.openScreenshot({{QStringLiteral("id"), target.id.toString(QUuid::WithoutBraces)}});
    EXPECT_TRUE(m_gallery->isShowingPreview());
}

TEST_F(GalleryScreenTest, ACollectionsNameIsTheTitleAsPlainText)
{
    SmartCollection odd;
    odd.id = QUuid::createUuid();
    odd.name = QStringLiteral("<b>Work</b> & more");
    odd.predicate = [](const Screenshot&) { return true; };
    openGallery(odd);
    auto* title = m_gallery->header().findChild<QLabel*>(QStringLiteral("title"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), odd.name);
    EXPECT_EQ(title->textFormat(), Qt::PlainText);
}

TEST_F(GalleryScreenTest, FolderSheetOutcomes)
{
    makeLibrary(1);
    const QString other = m_dir.filePath(QStringLiteral("Other"));
    QDir().mkpath(other);

    // Cancel in the chooser keeps the sheet and the folder.
    Q_EMIT m_gallery->header().changeFolderClicked();
    ASSERT_TRUE(m_gallery->showFolderPicker());
    EXPECT_EQ(m_gallery->folderPicker()->windowModality(), Qt::WindowModal);
    m_sheetChooser.answer.reset();
    m_gallery->folderPicker()->chooseFolder();
    EXPECT_TRUE(m_gallery->showFolderPicker());
    EXPECT_EQ(m_monitor.monitoredPath(), m_folder);

    // "Cancel" closes it and changes nothing.
    m_gallery->folderPicker()->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    ASSERT_TRUE(waitUntil([&] { return !m_gallery->showFolderPicker(); }));
    EXPECT_EQ(m_monitor.monitoredPath(), m_folder);

    // A chosen folder is monitored and the sheet closes.
    Q_EMIT m_gallery->header().changeFolderClicked();
    m_sheetChooser.answer = other;
    m_gallery->folderPicker()->chooseFolder();
    EXPECT_EQ(m_monitor.monitoredPath(), other);
    ASSERT_TRUE(waitUntil([&] { return !m_gallery->showFolderPicker(); }));
}

TEST_F(GalleryScreenTest, GrantAccessAsksTheMonitorAndTheModeOutlivesTheScreen)
{
    openGallery();
    ASSERT_TRUE(waitUntil([&] { return model().needsPermission(); }));
    auto* grant = m_gallery->findChild<QPushButton*>(QStringLiteral("grantAccess"));
    ASSERT_NE(grant, nullptr);
    EXPECT_TRUE(grant->isVisible());
    m_monitorChooser->answer = m_folder;
    grant->click();
    EXPECT_EQ(m_monitorChooser->shown, 1);
    ASSERT_TRUE(waitUntil([&] { return !model().needsPermission(); }));
    EXPECT_FALSE(grant->isVisible());

    m_gallery->setGalleryMode(GalleryViewMode::minimal);
    openGallery();
    EXPECT_EQ(m_gallery->galleryMode(), GalleryViewMode::minimal);
    EXPECT_FALSE(m_gallery->isInspectorShown());
}

TEST_F(GalleryScreenTest, EmptyStateOnlyForAnEmptyLibraryNotForASearchWithoutHits)
{
    openGallery();
    EXPECT_TRUE(m_gallery->findChild<QWidget*>(QStringLiteral("emptyState"))->isVisible());
    m_gallery.reset();
    makeLibrary(2);
    model().setSearchText(QStringLiteral("zzzzqqqq"));
    ASSERT_TRUE(waitUntil([&] { return model().visibleScreenshots().isEmpty(); }));
    EXPECT_FALSE(m_gallery->findChild<QWidget*>(QStringLiteral("emptyState"))->isVisible());
    EXPECT_TRUE(m_gallery->grid().isVisible());
}
} // namespace

namespace {
QMessageBox* openAlert(QWidget* owner, const QString& name)
{
    return owner->findChild<QMessageBox*>(name);
}

void pressButton(QMessageBox* box, const QString& text)
{
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons())
        if (button->text() == text)
            return button->click();
    FAIL() << "no button " << text.toStdString();
}

TEST_F(GalleryScreenTest, InPlacePreviewCoversTheGridWhichKeepsItsPlace)
{
    makeLibrary(40);
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    QScrollBar* scroll = m_gallery->grid().verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 300);
    scroll->setValue(300);

    m_gallery->handleSingleTap(shot(12));
    DashboardPreviewView* preview = m_gallery->inPlacePreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(m_gallery->grid().isVisible());
    EXPECT_EQ(preview->screenshot().id, shot(12).id);
    EXPECT_TRUE(preview->hasFocus());

    // Another card focused from elsewhere (the inspector, a step) reuses the preview.
    QTest::mouseClick(preview->nextButton(), Qt::LeftButton);
    EXPECT_EQ(m_gallery->focusedScreenshot()->id, shot(13).id);
    EXPECT_EQ(m_gallery->inspector().screenshot()->id, shot(13).id);
    EXPECT_EQ(m_gallery->inPlacePreview(), preview);

    QTest::keyClick(m_gallery->inPlacePreview(), Qt::Key_Escape);
    EXPECT_FALSE(m_gallery->focusedScreenshot());
    EXPECT_EQ(m_gallery->inPlacePreview(), nullptr);
    EXPECT_TRUE(m_gallery->grid().isVisible());
    EXPECT_EQ(scroll->value(), 300);

    // Minimal mode hides it and keeps the focus; informative shows it again.
    m_gallery->handleSingleTap(shot(5));
    m_gallery->setGalleryMode(GalleryViewMode::minimal);
    EXPECT_EQ(m_gallery->inPlacePreview(), nullptr);
    EXPECT_TRUE(m_gallery->grid().isVisible());
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    ASSERT_NE(m_gallery->inPlacePreview(), nullptr);
    EXPECT_EQ(m_gallery->inPlacePreview()->screenshot().id, shot(5).id);
}

TEST_F(GalleryScreenTest, ADeletionAskedWhileAnotherRunsIsCarriedOutAfterIt)
{
    makeLibrary(4);
    const Screenshot first = shot(0), second = shot(2), kept = shot(3);
    QSemaphore gate;
    m_trash.gate = &gate;
    model().setIsSelectionMode(true);
    model().setSelectedIds({first.id});
    m_gallery->deleteCommand();
    press(box(QStringLiteral("deleteConfirmation")), QStringLiteral("Delete"));
    ASSERT_TRUE(model().isDeleting());
    EXPECT_FALSE(model().isSelectionMode());

    // The in-place preview's deletion, asked while the first one runs.
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    m_gallery->handleSingleTap(second);
    QTest::keyClick(m_gallery->inPlacePreview(), Qt::Key_Delete);
    pressButton(openAlert(m_gallery.get(), QStringLiteral("previewDeleteConfirmation")), QStringLiteral("Delete"));
    model().setSelectedIds({kept.id}); // chosen meanwhile

    gate.release(2);
    ASSERT_TRUE(waitUntil([&] { return !QFile::exists(second.filePath) && !model().isDeleting(); }));
    EXPECT_FALSE(QFile::exists(first.filePath));
    ASSERT_TRUE(waitUntil([&] { return model().visibleScreenshots().size() == 2; }));
    EXPECT_FALSE(model().visibleScreenshots().contains(second));
    EXPECT_EQ(model().selectedIds(), QSet<QUuid>{kept.id});
    EXPECT_TRUE(m_gallery->isSelectionBarShown());
    EXPECT_EQ(box(QStringLiteral("deletionFailed")), nullptr);
    m_trash.gate = nullptr;
}

TEST_F(GalleryScreenTest, DeletingFromTheInPlacePreviewTrashesOnlyItsScreenshot)
{
    makeLibrary(4);
    const Screenshot shown = shot(2), selected = shot(0);
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    m_gallery->handleSingleTap(shown);
    model().setIsSelectionMode(true);
    model().setSelectedIds({selected.id});

    // The preview in front asks about its own screenshot, not the selection.
    QTest::keyClick(m_gallery->inPlacePreview(), Qt::Key_Delete);
    EXPECT_EQ(box(QStringLiteral("deleteConfirmation")), nullptr);
    pressButton(openAlert(m_gallery.get(), QStringLiteral("previewDeleteConfirmation")), QStringLiteral("Delete"));

    EXPECT_FALSE(m_gallery->focusedScreenshot());
    EXPECT_EQ(m_gallery->inPlacePreview(), nullptr);
    EXPECT_TRUE(model().selectedIds().isEmpty());
    EXPECT_TRUE(model().isSelectionMode());
    ASSERT_TRUE(waitUntil([&] { return !model().isDeleting(); }));
    EXPECT_FALSE(QFile::exists(shown.filePath));
    EXPECT_TRUE(QFile::exists(selected.filePath));
    ASSERT_TRUE(waitUntil([&] { return !model().visibleScreenshots().contains(shown); }));
    EXPECT_EQ(model().visibleScreenshots().size(), 3);
}
} // namespace

namespace {
class FullPreviewTest : public GalleryScreenTest
{
protected:
    // A library in an active window, so that keyboard focus is real.
    void openActive(int count, GalleryViewMode mode)
    {
        makeLibrary(count);
        m_gallery->setGalleryMode(mode);
        m_gallery->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_gallery.get()));
        m_gallery->grid().setFocus();
    }

    QVariantMap openInfo(const Screenshot& shot) const { return {{QStringLiteral("id"), shot.id.toString()}}; }
};

TEST_F(FullPreviewTest, OpenScreenshotOpensItInEitherModeAndClosingGivesTheKeysBack)
{
    for (const GalleryViewMode mode : {GalleryViewMode::informative, GalleryViewMode::minimal}) {
        openActive(3, mode);
        Q_EMIT m_parts.events.openScreenshot(openInfo(shot(1)));
        ImagePreviewView* preview = m_gallery->fullPreview();
        ASSERT_NE(preview, nullptr);
        EXPECT_TRUE(preview->isVisible());
        EXPECT_EQ(preview->screenshot()->id, shot(1).id);
        EXPECT_TRUE(preview->hasFocus());
        EXPECT_EQ(preview->geometry(), m_gallery->rect()) << "over the whole screen";

        QTest::keyClick(preview, Qt::Key_Escape);
        EXPECT_FALSE(m_gallery->isShowingPreview());
        EXPECT_EQ(m_gallery->fullPreview(), nullptr);
        EXPECT_TRUE(m_gallery->grid().hasFocus());
        m_gallery.reset();
    }
}

TEST_F(FullPreviewTest, DeleteInThePreviewAsksAboutItsScreenshotNotTheSelection)
{
    openActive(4, GalleryViewMode::minimal);
    const Screenshot shown = shot(1), selected = shot(3);
    model().setIsSelectionMode(true);
    model().setSelectedIds({selected.id});
    m_gallery->handleDoubleTap(shown); // opens nothing in selection mode
    EXPECT_FALSE(m_gallery->isShowingPreview());
    model().setIsSelectionMode(false);
    model().setSelectedIds({selected.id});
    m_gallery->handleDoubleTap(shown);
    ImagePreviewView* preview = m_gallery->fullPreview();
    ASSERT_NE(preview, nullptr);

    QTest::keyClick(preview, Qt::Key_Delete);
    EXPECT_EQ(box(QStringLiteral("deleteConfirmation")), nullptr);
    pressButton(preview->deleteConfirmation(), QStringLiteral("Delete"));
    EXPECT_FALSE(m_gallery->isShowingPreview());
    EXPECT_TRUE(model().selectedIds().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !model().isDeleting(); }));
    EXPECT_FALSE(QFile::exists(shown.filePath));
    EXPECT_TRUE(QFile::exists(selected.filePath));
}

TEST_F(FullPreviewTest, ATagSavedInThePreviewKeepsTheZoomAndThePicture)
{
    openActive(3, GalleryViewMode::minimal);
    m_gallery->handleSingleTap(shot(0));
    ImagePreviewView* preview = m_gallery->fullPreview();
    ASSERT_TRUE(waitUntil([&] { return !preview->isLoading(); }));
    preview->applyMagnification(2.0);
    QTest::keyClick(preview, Qt::Key_I);
    MetadataInspectorView& inspector = preview->inspector();
    inspector.tagField()->setText(QStringLiteral("Receipt"));
    inspector.addTag();

    EXPECT_DOUBLE_EQ(preview->scale(), 2.0);
    EXPECT_FALSE(preview->isLoading());
    EXPECT_FALSE(preview->image().isNull());
    EXPECT_EQ(m_gallery->previewScreenshot()->customTags, QStringList{QStringLiteral("Receipt")});
    EXPECT_TRUE(waitUntil([&] { return shot(0).customTags == QStringList{QStringLiteral("Receipt")}; }));
}

TEST_F(FullPreviewTest, ALastTagRemovedInThePreviewStaysRemovedAcrossAPublish)
{
    openActive(3, GalleryViewMode::informative);
    Screenshot tagged = shot(1);
    tagged.customTags = {QStringLiteral("Travel")};
    ASSERT_TRUE(m_store.saveUserData(tagged.id, tagged.customTags, std::nullopt));
    m_monitor.updateScreenshot(tagged);
    m_gallery->handleSingleTap(tagged); // the docked inspector shows the tag too
    ASSERT_TRUE(waitUntil([&] { return shot(1).customTags == tagged.customTags; }));

    m_gallery->handleDoubleTap(shot(1));
    ImagePreviewView* preview = m_gallery->fullPreview();
    QTest::keyClick(preview, Qt::Key_I);
    preview->inspector().removeTag(QStringLiteral("Travel"));
    ScreenshotMonitorTestAccess::setScreenshots(m_monitor, m_monitor.screenshots());
    QApplication::processEvents();

    QTest::keyClick(preview, Qt::Key_Right);
    QTest::keyClick(preview, Qt::Key_Left);
    EXPECT_EQ(preview->screenshot()->id, tagged.id);
    EXPECT_TRUE(preview->inspector().customTags().isEmpty());
    EXPECT_TRUE(m_gallery->inspector().customTags().isEmpty()) << "the docked inspector behind shows it too";
    // The day sections follow off the GUI thread.
    EXPECT_TRUE(waitUntil([&] { return shot(1).customTags.isEmpty(); }));
    EXPECT_TRUE(m_store.fetchByPath(tagged.filePath)->customTags.isEmpty());
}

TEST_F(FullPreviewTest, SpotlightWhileThePreviewIsOpenShowsTheNewScreenshotAndEditsStayWithIt)
{
    openActive(3, GalleryViewMode::minimal);
    const Screenshot first = shot(0), opened = shot(2);
    m_gallery->handleSingleTap(first);
    ImagePreviewView* preview = m_gallery->fullPreview();
    ASSERT_NE(preview, nullptr);

    Q_EMIT m_parts.events.openScreenshot(openInfo(opened));
    EXPECT_EQ(m_gallery->fullPreview(), preview);
    ASSERT_TRUE(preview->screenshot());
    EXPECT_EQ(preview->screenshot()->id, opened.id) << "the old one stays on show";
    EXPECT_EQ(m_gallery->previewScreenshot()->id, opened.id);
    EXPECT_EQ(model().selectedIds(), QSet<QUuid>{opened.id});

    QTest::keyClick(preview, Qt::Key_I);
    preview->inspector().tagField()->setText(QStringLiteral("Receipt"));
    preview->inspector().addTag();
    EXPECT_EQ(preview->screenshot()->id, opened.id) << "saving a tag jumped to another screenshot";
    EXPECT_EQ(m_gallery->previewScreenshot()->customTags, QStringList{QStringLiteral("Receipt")});
    EXPECT_TRUE(m_store.fetchByPath(first.filePath)->customTags.isEmpty());
    EXPECT_EQ(m_store.fetchByPath(opened.filePath)->customTags, QStringList{QStringLiteral("Receipt")});
}

TEST_F(FullPreviewTest, TheSelectionBarStaysUnderTheFullPreview)
{
    openActive(3, GalleryViewMode::minimal);
    model().setSelectedIds({shot(1).id});
    ASSERT_TRUE(m_gallery->isSelectionBarShown());
    m_gallery->handleSingleTap(shot(0));
    ImagePreviewView* preview = m_gallery->fullPreview();
    ASSERT_NE(preview, nullptr);
    const auto barCentre = [&] { return m_gallery->selectionBar().geometry().center(); };
    const auto onTop = [&] {
        QWidget* top = m_gallery->childAt(barCentre());
        return top && (top == preview || preview->isAncestorOf(top));
    };
    EXPECT_TRUE(onTop());

    m_gallery->resize(1000, 700);
    QApplication::processEvents();
    EXPECT_TRUE(onTop()) << "a resize raised the bar over the preview";
    model().setSelectedIds({shot(1).id, shot(2).id});
    EXPECT_TRUE(onTop()) << "a new selection raised the bar over the preview";
    Q_EMIT m_parts.events.openScreenshot(openInfo(shot(2)));
    EXPECT_TRUE(onTop());

    QTest::keyClick(preview, Qt::Key_Escape);
    QApplication::processEvents();
    QWidget* shown = m_gallery->childAt(barCentre());
    EXPECT_TRUE(shown && (shown == &m_gallery->selectionBar() || m_gallery->selectionBar().isAncestorOf(shown)));
}

// Clicks sent to the window, which routes them as the desktop's would: Qt
// makes a double click of two presses at one spot whatever they hit.
class WindowClicksTest : public FullPreviewTest
{
protected:
    QWindow* window() const { return m_gallery->windowHandle(); }
    QPoint cardCentre(const Screenshot& shot) const
    {
        GalleryGridView& grid = m_gallery->grid();
        return grid.viewport()->mapTo(m_gallery.get(), grid.cardRect(shot.id)->center());
    }
    QPoint inGallery(const QWidget* widget, QPoint point) const { return widget->mapTo(m_gallery.get(), point); }
    void doubleClick(QPoint at) { QTest::mouseDClick(window(), Qt::LeftButton, {}, at); }

    Screenshot shotNamed(const QString& name) const
    {
        for (const Screenshot& shot : model().visibleScreenshots())
            if (shot.filename == name)
                return shot;
        ADD_FAILURE() << "no " << name.toStdString();
        return {};
    }

    // The library with a tall photograph, which the full preview shows
    // narrow, with backdrop on either side.
    void openWithTallPhoto(GalleryViewMode mode)
    {
        writeShot(QStringLiteral("tall.png"), {200, 800});
        makeLibrary(3, 1);
        m_gallery->setGalleryMode(mode);
        m_gallery->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_gallery.get()));
    }
};

TEST_F(WindowClicksTest, ADoubleClickOnACardInInformativeModeFocusesAndOpens)
{
    openActive(3, GalleryViewMode::informative);
    // The second click lands on the in-place preview the first one brought up.
    doubleClick(cardCentre(shot(2)));
    ASSERT_TRUE(m_gallery->isShowingPreview());
    EXPECT_EQ(m_gallery->previewScreenshot()->id, shot(2).id);
    EXPECT_EQ(m_gallery->focusedScreenshot()->id, shot(2).id);
}

TEST_F(WindowClicksTest, ADoubleClickOnACardInMinimalModeLeavesThePreviewOpen)
{
    openActive(3, GalleryViewMode::minimal);
    // The second click lands on the full preview the first one brought up:
    // it is not a click on the preview's backdrop.
    doubleClick(cardCentre(shot(1)));
    QApplication::processEvents();
    ASSERT_TRUE(m_gallery->isShowingPreview());
    EXPECT_EQ(m_gallery->previewScreenshot()->id, shot(1).id);
    ASSERT_NE(m_gallery->fullPreview(), nullptr);
    EXPECT_EQ(m_gallery->fullPreview()->screenshot()->id, shot(1).id);
}

TEST_F(WindowClicksTest, ADoubleClickOnTheBackdropClosesThePreviewAndNothingBeneathIt)
{
    openWithTallPhoto(GalleryViewMode::minimal);
    const Screenshot tall = shotNamed(QStringLiteral("tall.png"));
    // One of the first two cards, left of the photograph in the middle.
    const Screenshot beneath = shot(shot(0).id == tall.id ? 1 : 0);
    m_gallery->handleDoubleTap(tall);
    ImagePreviewView* preview = m_gallery->fullPreview();
    ASSERT_TRUE(waitUntil([&] { return !preview->isLoading(); }));
    const QPoint overCard = cardCentre(beneath);
    ASSERT_FALSE(preview->pictureRect().contains(preview->mapFrom(m_gallery.get(), overCard)));

    doubleClick(overCard);
    QApplication::processEvents();
    EXPECT_FALSE(m_gallery->isShowingPreview()) << "the card beneath opened";
    EXPECT_EQ(m_gallery->fullPreview(), nullptr);

    // Informative: the in-place preview behind keeps its close button.
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    m_gallery->handleSingleTap(tall);
    DashboardPreviewView* inPlace = m_gallery->inPlacePreview();
    ASSERT_NE(inPlace, nullptr);
    const QPoint overClose = inGallery(inPlace->closeButton(), inPlace->closeButton()->rect().center());
    m_gallery->handleDoubleTap(tall);
    preview = m_gallery->fullPreview();
    ASSERT_TRUE(waitUntil([&] { return !preview->isLoading(); }));
    ASSERT_FALSE(preview->pictureRect().contains(preview->mapFrom(m_gallery.get(), overClose)));
    doubleClick(overClose);
    QApplication::processEvents();
    EXPECT_FALSE(m_gallery->isShowingPreview());
    ASSERT_TRUE(m_gallery->focusedScreenshot()) << "the in-place preview's close button took the second click";
    EXPECT_EQ(m_gallery->inPlacePreview(), inPlace);
}

TEST_F(WindowClicksTest, ADoubleClickInSelectionModeTogglesTwice)
{
    openActive(3, GalleryViewMode::informative);
    model().setIsSelectionMode(true);
    doubleClick(cardCentre(shot(1)));
    EXPECT_TRUE(model().selectedIds().isEmpty());
    EXPECT_FALSE(m_gallery->isShowingPreview());
    QTest::mouseClick(window(), Qt::LeftButton, {}, cardCentre(shot(1)));
    EXPECT_EQ(model().selectedIds(), QSet<QUuid>{shot(1).id});
}

TEST_F(WindowClicksTest, ARecordingPlayedToItsEndPlaysAgainWithOneClick)
{
    QFile clip(QDir(m_folder).filePath(QStringLiteral("clip.mp4")));
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    clip.write("not decoded: the player is a fake");
    clip.close();
    makeLibrary(2, 1);
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    const QList<Screenshot> shown = model().visibleScreenshots();
    const Screenshot recording =
        *std::find_if(shown.cbegin(), shown.cend(), [](const Screenshot& s) { return s.isVideo(); });
    QTest::mouseClick(window(), Qt::LeftButton, {}, cardCentre(recording));
    ASSERT_NE(m_gallery->inPlacePreview(), nullptr);
    CustomVideoPlayer* player = m_gallery->inPlacePreview()->videoPlayer();
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(player->isPlaying());

    m_video.calls.clear();
    m_video.reachEnd();
    QAbstractButton* play = player->playPauseButton();
    QTest::mouseClick(window(), Qt::LeftButton, {}, inGallery(play, play->rect().center()));
    EXPECT_EQ(m_video.calls, QStringList{QStringLiteral("play clip.mp4")}) << "the first click did not play";
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(WindowClicksTest, EscapeFromTheFullPreviewReturnsToTheScreenshotItShows)
{
    openActive(4, GalleryViewMode::informative);
    doubleClick(cardCentre(shot(0)));
    ASSERT_NE(m_gallery->fullPreview(), nullptr);
    for (const Qt::Key key : {Qt::Key_I, Qt::Key_Right, Qt::Key_Right, Qt::Key_Escape, Qt::Key_Escape})
        QTest::keyClick(window(), key);
    ASSERT_FALSE(m_gallery->isShowingPreview());
    ASSERT_NE(m_gallery->inPlacePreview(), nullptr);
    EXPECT_EQ(m_gallery->inPlacePreview()->screenshot().id, shot(2).id) << "back on the screenshot it was opened on";
    EXPECT_EQ(m_gallery->focusedScreenshot()->id, shot(2).id);
    EXPECT_EQ(m_gallery->inspector().screenshot()->id, shot(2).id);
    EXPECT_TRUE(m_gallery->inPlacePreview()->hasFocus());
}

TEST_F(WindowClicksTest, TypingASearchClosesTheInPlacePreviewOverTheResults)
{
    openActive(4, GalleryViewMode::informative);
    QTest::mouseClick(window(), Qt::LeftButton, {}, cardCentre(shot(1)));
    ASSERT_NE(m_gallery->inPlacePreview(), nullptr);
    QLineEdit* field = m_gallery->header().searchField();
    QTest::mouseClick(window(), Qt::LeftButton, {}, inGallery(field, field->rect().center()));
    ASSERT_TRUE(field->hasFocus());
    for (const char key : {'s', 'h', 'o', 't'})
        QTest::keyClick(window(), key);

    EXPECT_EQ(model().searchText(), QStringLiteral("shot"));
    EXPECT_EQ(m_gallery->inPlacePreview(), nullptr) << "the results lie hidden behind the preview";
    EXPECT_TRUE(m_gallery->grid().isVisible());
    EXPECT_TRUE(field->hasFocus()) << "typing goes on in the field";
}

TEST_F(WindowClicksTest, ASquareOrUprightPhotoKeepsTheCloseButtonAndToolbarOffThePicture)
{
    writeShot(QStringLiteral("square.png"), {900, 900});
    writeShot(QStringLiteral("upright.png"), {600, 900});
    makeLibrary(1, 2);
    m_gallery->setGalleryMode(GalleryViewMode::informative);
    for (const QString& name : {QStringLiteral("square.png"), QStringLiteral("upright.png")}) {
        QTest::mouseClick(window(), Qt::LeftButton, {}, cardCentre(shotNamed(name)));
        DashboardPreviewView* preview = m_gallery->inPlacePreview();
        ASSERT_NE(preview, nullptr);
        ASSERT_TRUE(waitUntil([&] { return !preview->isLoading(); })) << name.toStdString();
        const QRectF picture = preview->pictureRect();
        const QWidget* toolbar = preview->findChild<QWidget*>(QStringLiteral("previewToolbar"));
        EXPECT_GE(picture.height(), preview->height() * 0.6) << name.toStdString() << ": fitted to the height";
        EXPECT_FALSE(picture.intersects(preview->closeButton()->geometry())) << name.toStdString();
        EXPECT_FALSE(picture.intersects(toolbar->geometry())) << name.toStdString();
        QTest::keyClick(window(), Qt::Key_Escape);
        ASSERT_EQ(m_gallery->inPlacePreview(), nullptr);
    }
}
} // namespace
