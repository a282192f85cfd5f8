#include "gallery/GalleryView.h"

#include "core/AppEvents.h"
#include "core/Console.h"
#include "gallery/DashboardPreviewView.h"
#include "gallery/GalleryGridLayout.h"
#include "gallery/GalleryGridView.h"
#include "gallery/GalleryHeader.h"
#include "gallery/GalleryOverlays.h"
#include "ingest/ScreenshotMonitor.h"
#include "library/GalleryViewModel.h"
#include "platform/DesktopIntegration.h"
#include "preview/ImagePreviewView.h"
#include "preview/MetadataInspectorView.h"
#include "ui/Alert.h"
#include "ui/AnimatedChange.h"
#include "ui/CrossFadeOverlay.h"
#include "ui/DoubleClickGuard.h"
#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
QWidget* makeEmptyState()
{
    auto* body = new QWidget;
    body->setObjectName(u"emptyState"_s);
    auto* column = new QVBoxLayout(body);
    column->setSpacing(16);
    column->addStretch();
    column->addWidget(new SymbolLabel(u"photo.on.rectangle"_s, 64, PremiumTheme::textTertiary()), 0, Qt::AlignHCenter);
    column->addWidget(makeTextLabel(u"No photos found"_s, PremiumTheme::systemFont(20), PremiumTheme::textSecondary()),
                      0, Qt::AlignHCenter);
    column->addStretch();
    return body;
}

// The docked inspector, 320 wide behind a divider.
QWidget* makeInspectorPanel(QWidget* inspector)
{
    auto* panel = new QWidget;
    panel->setObjectName(u"inspectorPanel"_s);
    panel->setFixedWidth(GalleryView::inspectorWidth + 1);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* divider = new QWidget;
    divider->setFixedWidth(1);
    divider->setStyleSheet(u"background: rgba(255,255,255,26);"_s);
    row->addWidget(divider);
    row->addWidget(inspector, 1);
    return panel;
}
} // namespace

GalleryView::GalleryView(std::optional<SmartCollection> activeCollection, std::function<void()> onBack,
                         Services services, QWidget* parent)
    : QWidget(parent)
    , m_activeCollection(std::move(activeCollection))
    , m_onBack(std::move(onBack))
    , m_services(services)
    , m_viewModel(new GalleryViewModel(
          {services.monitor, services.database, services.trash, services.settings, services.workers, services.search},
          this))
{
    buildLayout(bool(m_onBack));
    // The library's own gallery is the one searched first after a start.
    m_viewModel->setPreparesSearch(!m_onBack);
    connectViewModel();
    connectHeader();
    connectGrid();
    connect(&m_services.events, &AppEvents::openScreenshot, this, &GalleryView::handleSpotlightOpen);
    new DoubleClickGuard(
        *this, [this](const QWidget* widget) { return doubleClickPart(widget); },
        [this](QWidget* part, QWidget* firstPart) { strayDoubleClick(part, firstPart); });
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)}) {
        // A focused text field takes these keys first (shortcut override).
        auto* shortcut = new QShortcut(key, this, this, &GalleryView::deleteCommand, Qt::WidgetWithChildrenShortcut);
        m_deleteShortcuts.append(shortcut);
    }
    syncMode();
    syncSelection();
    m_header->setProcessing(m_services.monitor.isProcessing());
    m_banner->setVisible(m_viewModel->needsPermission());
    showLibraryArea();
}

GalleryView::~GalleryView() = default;

void GalleryView::buildLayout(bool hasBack)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_header = new GalleryHeader(title(), hasBack);
    column->addWidget(m_header);
    m_banner = new PermissionBanner;
    column->addWidget(m_banner);

    auto* content = new QHBoxLayout;
    content->setSpacing(0);
    m_grid = new GalleryGridView(*m_viewModel, m_services.thumbnails);
    m_grid->setObjectName(u"grid"_s);
    m_emptyState = makeEmptyState();
    auto* libraryArea = new QWidget;
    m_libraryArea = new QStackedLayout(libraryArea);
    m_libraryArea->addWidget(m_grid);
    m_libraryArea->addWidget(m_emptyState);
    content->addWidget(libraryArea, 1);
    m_inspector = new MetadataInspectorView(m_services.database, m_services.monitor);
    m_inspector->setOnScreenshotUpdated([this](const Screenshot& edited) {
        // A note saved on the way out belongs to a screenshot no longer
        // focused: it updates the list, not the focus.
        if (m_focusedScreenshot && m_focusedScreenshot->id == edited.id)
            m_focusedScreenshot = edited;
        listEdited(edited);
    });
    connect(m_inspector, &MetadataInspectorView::isEditingChanged, this,
            [this](bool editing) { m_isInspectorEditing = editing; });
    m_inspectorPanel = makeInspectorPanel(m_inspector);
    content->addWidget(m_inspectorPanel);
    column->addLayout(content, 1);

    m_selectionBar = new SelectionBar(this);
    m_selectionBar->hide();
}

void GalleryView::connectViewModel()
{
    connect(m_viewModel, &GalleryViewModel::screenshotsChanged, this, [this] {
        showLibraryArea();
        forgetDeletedFocus();
    });
    connect(m_viewModel, &GalleryViewModel::sectionsChanged, this, &GalleryView::syncPreviewLists);
    connect(m_viewModel, &GalleryViewModel::searchTextChanged, m_header, &GalleryHeader::setSearchText);
    connect(m_viewModel, &GalleryViewModel::selectedIdsChanged, this, &GalleryView::syncSelection);
    connect(m_viewModel, &GalleryViewModel::isSelectionModeChanged, this, &GalleryView::syncSelection);
    connect(m_viewModel, &GalleryViewModel::needsPermissionChanged, m_banner, &QWidget::setVisible);
    connect(&m_services.monitor, &ScreenshotMonitor::isProcessingChanged, m_header, &GalleryHeader::setProcessing);
}

void GalleryView::connectHeader()
{
    connect(m_header, &GalleryHeader::backClicked, this, [this] {
        if (m_onBack)
            m_onBack();
    });
    connect(m_header, &GalleryHeader::searchTextEdited, this, [this](const QString& text) {
        closeInPlacePreviewForResults();
        m_viewModel->setSearchText(text);
    });
    connect(m_header, &GalleryHeader::clearSearchClicked, this, [this] {
        closeInPlacePreviewForResults();
        m_viewModel->setSearchText(QString());
        m_viewModel->updateSections();
    });
    connect(m_header, &GalleryHeader::zoomOutClicked, this, &GalleryView::zoomOut);
    connect(m_header, &GalleryHeader::zoomInClicked, this, &GalleryView::zoomIn);
    connect(m_header, &GalleryHeader::sliderMoved, this, &GalleryView::setGridScale);
    connect(m_header, &GalleryHeader::modeChosen, this, &GalleryView::setGalleryMode);
    connect(m_header, &GalleryHeader::selectModeClicked, this, [this] { m_viewModel->setIsSelectionMode(true); });
    connect(m_header, &GalleryHeader::doneClicked, this, [this] { m_viewModel->setIsSelectionMode(false); });
    connect(m_header, &GalleryHeader::changeFolderClicked, this, &GalleryView::openFolderPicker);
    connect(m_banner, &PermissionBanner::grantAccessClicked, this,
            [this] { m_services.monitor.requestFolderAccess(); });
    connect(m_selectionBar, &SelectionBar::deleteClicked, this, &GalleryView::askToDelete);
    connect(m_selectionBar, &SelectionBar::shareClicked, this, [this] {
        QMenu* menu = shareMenu();
        QAbstractButton* share = m_selectionBar->shareButton();
        menu->popup(share->mapToGlobal(QPoint(0, -menu->sizeHint().height() - 8)));
    });
}

void GalleryView::connectGrid()
{
    connect(m_grid, &GalleryGridView::clicked, this, &GalleryView::handleSingleTap);
    connect(m_grid, &GalleryGridView::doubleClicked, this, &GalleryView::handleDoubleTap);
    connect(m_grid, &GalleryGridView::checkToggled, this,
            [this](const Screenshot& screenshot) { toggleSelection(screenshot.id); });
    connect(m_grid, &GalleryGridView::contextMenuRequested, this,
            [this](const Screenshot& screenshot, const QPoint& at) { contextMenu(screenshot)->popup(at); });
    connect(m_grid, &GalleryGridView::magnified, this, &GalleryView::applyMagnification);
}

QString GalleryView::title() const
{
    return m_activeCollection ? m_activeCollection->name : u"Gallery"_s;
}

QAbstractButton* GalleryView::backButton() const
{
    return m_header->findChild<QAbstractButton*>(u"back"_s);
}

void GalleryView::setActiveCollection(std::optional<SmartCollection> collection)
{
    m_activeCollection = std::move(collection);
    m_viewModel->setActiveCollection(m_activeCollection);
    m_viewModel->updateSections();
}

void GalleryView::setShowingPreview(bool showing)
{
    if (showing == m_isShowingPreview)
        return;
    m_isShowingPreview = showing;
    showing ? presentFullPreview() : dismissFullPreview();
    syncDeleteShortcuts();
    Q_EMIT isShowingPreviewChanged(showing);
}

// Over everything, the header and the selection bar included, sliding in
// from the trailing edge; it takes the keys while it is there.
void GalleryView::presentFullPreview()
{
    auto* preview = new ImagePreviewView(
        m_previewScreenshot, previewList(),
        {m_services.database, m_services.monitor, m_services.desktop, m_services.video, m_services.workers},
        {.onNavigate = [this](const Screenshot& shot) { m_previewScreenshot = shot; },
         .onClose = [this] { setShowingPreview(false); },
         .onDelete =
             [this](const Screenshot& shot) {
                 deleteSingle(shot);
                 if (m_previewScreenshot && m_previewScreenshot->id == shot.id)
                     m_previewScreenshot.reset(); // nothing for the in-place preview to follow
             },
         .onScreenshotUpdated = [this](const Screenshot& edited) { previewEdited(edited); }},
        this);
    m_fullPreview = preview;
    preview->setGeometry(rect().translated(width(), 0));
    preview->show();
    preview->raise();
    preview->setFocus();
    Motion::animate(preview, "pos", QPoint(0, 0), Spring{0.3, 0.8, 0});
}

// It slides out on its own, taking no more clicks or keys; the keys go back
// to what is in front of the gallery.
void GalleryView::dismissFullPreview()
{
    ImagePreviewView* preview = m_fullPreview;
    m_fullPreview = nullptr;
    if (!preview)
        return;
    // The in-place preview behind shows the screenshot the full one was
    // stepped to, not the one it was opened on.
    if (m_inPlacePreview && m_previewScreenshot && m_previewScreenshot->id != m_focusedScreenshot->id)
        setFocused(*m_previewScreenshot);
    preview->setAttribute(Qt::WA_TransparentForMouseEvents);
    preview->clearFocus();
    if (isVisible())
        m_inPlacePreview ? m_inPlacePreview->setFocus() : m_grid->setFocus();
    QVariantAnimation* slide = Motion::animate(preview, "pos", QPoint(width(), 0), Spring{0.3, 0.8, 0});
    if (slide)
        connect(slide, &QAbstractAnimation::finished, preview, &QObject::deleteLater);
    else
        preview->deleteLater(); // later: its own key or button may be what closes it
    preview->setEnabled(false);
}

void GalleryView::listEdited(const Screenshot& edited)
{
    m_viewModel->updateScreenshot(edited);
    m_recentEdits.insert(edited.id, edited);
    syncPreviewLists();
}

// The previews step through the day sections, which are rebuilt off the GUI
// thread: until a rebuild has caught up with an edit, the edited record
// stands in for the one in the sections, so a step never brings back what
// was just removed.
QList<Screenshot> GalleryView::previewList()
{
    QList<Screenshot> list = m_viewModel->visibleScreenshots();
    if (m_recentEdits.isEmpty())
        return list;
    QSet<QUuid> caughtUp;
    for (Screenshot& shot : list) {
        const auto edit = m_recentEdits.constFind(shot.id);
        if (edit == m_recentEdits.cend())
            continue;
        if (shot.customTags == edit->customTags && shot.userNotes == edit->userNotes)
            caughtUp.insert(shot.id);
        else
            shot = *edit;
    }
    for (const QUuid& id : std::as_const(caughtUp))
        m_recentEdits.remove(id);
    return list;
}

void GalleryView::syncPreviewLists()
{
    if (!m_inPlacePreview && !m_fullPreview && m_recentEdits.isEmpty())
        return;
    const QList<Screenshot> list = previewList(); // also forgets edits the sections show
    if (m_inPlacePreview)
        m_inPlacePreview->setAllScreenshots(list);
    if (m_fullPreview)
        m_fullPreview->setAllScreenshots(list);
}

// An edit in the full preview's inspector reaches the list as one in the
// docked inspector does, so stepping away and back shows it; the docked
// inspector, behind, shows it too.
void GalleryView::previewEdited(const Screenshot& edited)
{
    if (m_previewScreenshot && m_previewScreenshot->id == edited.id)
        m_previewScreenshot = edited;
    listEdited(edited);
    if (m_fullPreview)
        m_fullPreview->setScreenshot(m_previewScreenshot);
    if (m_focusedScreenshot && m_focusedScreenshot->id == edited.id) {
        m_focusedScreenshot = edited;
        // The same record would only refresh its facts; its tags and note
        // are read again from a cleared panel.
        m_inspector->setScreenshot(std::nullopt);
        m_inspector->setScreenshot(edited);
    }
}

GalleryViewMode GalleryView::galleryMode() const
{
    return storedGalleryViewMode(m_services.settings);
}

void GalleryView::setGalleryMode(GalleryViewMode mode)
{
    storeGalleryViewMode(m_services.settings, mode);
    syncMode();
}

// The focus is kept across modes; only the informative mode shows it.
void GalleryView::syncMode()
{
    const bool informative = galleryMode() == GalleryViewMode::informative;
    m_header->setMode(galleryMode());
    m_inspectorPanel->setVisible(informative);
    m_grid->setFocusedId(informative && m_focusedScreenshot ? std::optional(m_focusedScreenshot->id) : std::nullopt);
    syncInPlacePreview();
}

// Shown exactly while a screenshot is focused in the informative mode; it
// keeps its own state (zoom, decoded image) only while it stays.
void GalleryView::syncInPlacePreview()
{
    const bool wanted = galleryMode() == GalleryViewMode::informative && m_focusedScreenshot;
    if (wanted && m_inPlacePreview) {
        m_inPlacePreview->setScreenshot(*m_focusedScreenshot);
        return;
    }
    if (wanted == bool(m_inPlacePreview))
        return;
    if (wanted) {
        m_inPlacePreview = new DashboardPreviewView(
            *m_focusedScreenshot, previewList(), [this] { setFocused(std::nullopt); },
            [this](const Screenshot& shot) { setFocused(shot); },
            [this](const Screenshot& shot) {
                deleteSingle(shot);
                setFocused(std::nullopt);
            },
            {m_services.desktop, m_services.video, m_services.workers});
        m_libraryArea->addWidget(m_inPlacePreview);
    }
    showInPlacePreview(wanted);
}

// The results of a new search would lie hidden behind the in-place preview.
void GalleryView::closeInPlacePreviewForResults()
{
    if (m_inPlacePreview)
        setFocused(std::nullopt);
}

// The preview and the grid cross-fade; the grid only hides behind the
// preview, so it keeps its scroll position. The keys go to the grid only if
// the preview had them (not while typing a search, say).
void GalleryView::showInPlacePreview(bool shown)
{
    QWidget* area = m_libraryArea->parentWidget();
    const QWidget* keys = window()->focusWidget();
    const bool previewHadKeys =
        !keys || (m_inPlacePreview && (keys == m_inPlacePreview || m_inPlacePreview->isAncestorOf(keys)));
    const auto animation = AnimatedChange::defaultAnimation();
    const QPixmap outgoing = isVisible() && !Motion::isInstant() ? area->grab() : QPixmap();
    if (!shown) {
        m_libraryArea->removeWidget(m_inPlacePreview);
        m_inPlacePreview->hide();
        // Later: its own callback may be what closes it.
        m_inPlacePreview->deleteLater();
        m_inPlacePreview = nullptr;
    }
    showLibraryArea();
    if (!outgoing.isNull())
        CrossFadeOverlay::fadeOut(area, outgoing, animation.curve, animation.durationMs);
    if (shown)
        m_inPlacePreview->setFocus();
    else if (isVisible() && previewHadKeys)
        m_grid->setFocus();
    syncDeleteShortcuts();
}

// The gallery's Delete keys act on the selection only while the grid is on
// show; a preview in front asks about its own screenshot.
void GalleryView::syncDeleteShortcuts()
{
    const bool gridInFront = !m_inPlacePreview && !m_isShowingPreview;
    for (QShortcut* shortcut : std::as_const(m_deleteShortcuts))
        shortcut->setEnabled(gridInFront);
}

void GalleryView::setGridScale(double scale)
{
    m_gridScale = std::clamp(scale, GalleryGridLayout::minScale, GalleryGridLayout::maxScale);
    m_grid->setGridScale(m_gridScale);
    m_header->setGridScale(m_gridScale);
}

void GalleryView::zoomOut()
{
    setGridScale(m_gridScale - zoomStep);
}

void GalleryView::zoomIn()
{
    setGridScale(m_gridScale + zoomStep);
}

void GalleryView::applyMagnification(double magnification)
{
    setGridScale(m_gridScale * (1 + (magnification - 1) * 0.5));
}

void GalleryView::handleSingleTap(const Screenshot& screenshot, Qt::KeyboardModifiers modifiers)
{
    if (m_viewModel->isSelectionMode()) {
        toggleSelection(screenshot.id);
    } else if (modifiers & Qt::ControlModifier) {
        m_viewModel->setIsSelectionMode(true);
        toggleSelection(screenshot.id);
    } else if (galleryMode() == GalleryViewMode::informative) {
        setFocused(screenshot);
    } else {
        openPreview(screenshot);
    }
}

void GalleryView::handleDoubleTap(const Screenshot& screenshot)
{
    if (!m_viewModel->isSelectionMode())
        openPreview(screenshot);
}

void GalleryView::toggleSelection(const QUuid& id)
{
    QSet<QUuid> ids = m_viewModel->selectedIds();
    if (!ids.remove(id))
        ids.insert(id);
    m_viewModel->setSelectedIds(std::move(ids));
}

QMenu* GalleryView::contextMenu(const Screenshot& screenshot)
{
    if (m_contextMenu)
        m_contextMenu->deleteLater();
    auto* menu = new QMenu(this);
    menu->setObjectName(u"cardMenu"_s);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(u"Open"_s, this, [this, screenshot] { openPreview(screenshot); });
    menu->addAction(u"Show in File Manager"_s, this,
                    [this, path = screenshot.filePath] { m_services.desktop.showInFileManager(path); });
    menu->addSeparator();
    menu->addAction(u"Select"_s, this, [this, id = screenshot.id] {
        m_viewModel->setIsSelectionMode(true);
        m_viewModel->setSelectedIds(m_viewModel->selectedIds() + QSet<QUuid>{id});
    });
    menu->addAction(u"Delete"_s, this, [this, id = screenshot.id] {
        m_viewModel->setSelectedIds({id});
        askToDelete();
    });
    m_contextMenu = menu;
    return menu;
}

QMenu* GalleryView::shareMenu()
{
    if (m_shareMenu)
        m_shareMenu->deleteLater();
    auto* menu = new QMenu(this);
    menu->setObjectName(u"shareMenu"_s);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QStringList paths = selectedPaths();
    DesktopIntegration& desktop = m_services.desktop;
    menu->addAction(u"Copy to Clipboard"_s, this, [&desktop, paths] { desktop.copyFilesToClipboard(paths); });
    menu->addAction(u"Send by Email…"_s, this, [this, paths] {
        if (!m_services.desktop.mailFiles(paths))
            Alert::open(this, u"mailFailed"_s, u"No mail program could be started"_s,
                        u"Glimmerdeck hands files to the desktop's mail program through xdg-email "
                        u"(package xdg-utils)."_s);
    });
    menu->addAction(u"Show in File Manager"_s, this, [&desktop, paths] { desktop.showFilesInFileManager(paths); });
    for (QAction* action : menu->actions())
        action->setEnabled(!paths.isEmpty());
    m_shareMenu = menu;
    return menu;
}

// In the library's order, each file once.
QStringList GalleryView::selectedPaths() const
{
    QSet<QUuid> wanted = m_viewModel->selectedIds();
    QStringList paths;
    for (const Screenshot& shot : m_viewModel->screenshots())
        if (wanted.remove(shot.id))
            paths.append(shot.filePath);
    return paths;
}

void GalleryView::deleteCommand()
{
    if (!m_viewModel->selectedIds().isEmpty())
        askToDelete();
}

void GalleryView::askToDelete()
{
    if (m_deleteConfirmation || m_viewModel->selectedIds().isEmpty())
        return;
    m_deleteConfirmation = Alert::openDeleteConfirmation(
        this, u"deleteConfirmation"_s, u"Delete %1 Photos?"_s.arg(m_viewModel->selectedIds().size()),
        u"This will move the selected items to the Trash."_s, [this] { confirmDeletion(); });
}

// The view model takes the selection as it stands; selection mode ends at
// once, so a selection made while the files are moved is not lost when they
// are done.
void GalleryView::confirmDeletion()
{
    m_viewModel->deleteSelected([self = QPointer(this)](const GalleryViewModel::DeletionResult& result) {
        if (self)
            self->deletionFinished(result);
    });
    m_viewModel->setIsSelectionMode(false);
}

void GalleryView::deletionFinished(const GalleryViewModel::DeletionResult& result)
{
    forgetDeletedFocus();
    reportFailures(result);
}

void GalleryView::deleteSingle(const Screenshot& screenshot)
{
    m_viewModel->setSelectedIds({screenshot.id});
    m_viewModel->deleteSelected([self = QPointer(this)](const GalleryViewModel::DeletionResult& result) {
        if (self)
            self->reportFailures(result);
    });
    m_viewModel->setSelectedIds({});
}

void GalleryView::reportFailures(const GalleryViewModel::DeletionResult& result)
{
    if (result.failed == 0)
        return;
    QStringList details;
    for (const auto& error : result.errors)
        details.append(error.filename + u": "_s + error.error);
    Alert::open(this, u"deletionFailed"_s, u"%1 could not be moved to the Trash"_s.arg(result.failed),
                details.join(u'\n'));
}

// A trashed screenshot must not stay on show in a preview or inspector.
void GalleryView::forgetDeletedFocus()
{
    if (m_focusedScreenshot && !m_viewModel->screenshots().contains(*m_focusedScreenshot))
        setFocused(std::nullopt);
}

void GalleryView::setFocused(std::optional<Screenshot> screenshot)
{
    m_focusedScreenshot = std::move(screenshot);
    m_inspector->setScreenshot(m_focusedScreenshot);
    syncMode();
}

void GalleryView::openPreview(const Screenshot& screenshot)
{
    m_previewScreenshot = screenshot;
    if (m_fullPreview)
        m_fullPreview->setScreenshot(m_previewScreenshot); // already open: it shows this one now
    setShowingPreview(true);
}

void GalleryView::handleSpotlightOpen(const QVariantMap& userInfo)
{
    if (!isVisible())
        return;
    const QVariant value = userInfo.value(u"id"_s);
    if (value.typeId() != QMetaType::QString)
        return;
    const QUuid id(value.toString());
    if (id.isNull())
        return;
    const auto& all = m_viewModel->screenshots();
    const auto found = std::find_if(all.begin(), all.end(), [&](const Screenshot& s) { return s.id == id; });
    if (found == all.end())
        return;
    Console::printLine(u"🔦 Opening from Spotlight: "_s + found->filename);
    m_viewModel->setSelectedIds({id});
    openPreview(*found);
}

void GalleryView::openFolderPicker()
{
    if (m_folderPicker)
        return;
    auto* picker = new FolderPickerView(
        m_viewModel->monitoredPath(), m_services.folderChooser,
        [this](const QString& path) { m_services.monitor.changeMonitoredFolder(path); }, this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    m_folderPicker = picker;
    picker->open();
}

void GalleryView::syncSelection()
{
    m_header->setSelectionMode(m_viewModel->isSelectionMode());
    m_selectionBar->setVisible(!m_viewModel->selectedIds().isEmpty());
    placeSelectionBar();
    m_grid->viewport()->update();
}

bool GalleryView::isSelectionBarShown() const
{
    return !m_selectionBar->isHidden();
}

DashboardPreviewView* GalleryView::inPlacePreview() const
{
    return m_inPlacePreview;
}

ImagePreviewView* GalleryView::fullPreview() const
{
    return m_fullPreview;
}

// The grid and the previews are apart for double clicks: the first click of
// one may bring a preview up or take it away.
QWidget* GalleryView::doubleClickPart(const QWidget* widget) const
{
    for (QWidget* part : {static_cast<QWidget*>(m_fullPreview), static_cast<QWidget*>(m_inPlacePreview),
                          static_cast<QWidget*>(m_grid)}) {
        if (part && (part == widget || part->isAncestorOf(widget)))
            return part;
    }
    return nullptr;
}

// A card clicked twice: the first click focused it and brought up the
// in-place preview, which the second click then hit. Any other double click
// across parts belongs to neither.
void GalleryView::strayDoubleClick(QWidget* part, QWidget* firstPart)
{
    if (part == m_inPlacePreview && firstPart == m_grid && m_focusedScreenshot &&
        m_grid->lastPressedId() == m_focusedScreenshot->id)
        handleDoubleTap(*m_focusedScreenshot);
}

bool GalleryView::isInspectorShown() const
{
    return !m_inspectorPanel->isHidden();
}

// Made after the main column, the bar lies above it and below a full
// preview, which is made later still; it is never raised over one.
void GalleryView::placeSelectionBar()
{
    m_selectionBar->adjustSize();
    const QSize size = m_selectionBar->sizeHint();
    m_selectionBar->setGeometry((width() - size.width()) / 2, height() - 24 - size.height(), size.width(),
                                size.height());
}

// Leaving the dashboard's screen (not the window hiding) ends the preview,
// so that the shared flag does not open an empty one on the next screen.
void GalleryView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous() && window() != this && window()->isVisible())
        setShowingPreview(false);
}

void GalleryView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_fullPreview)
        m_fullPreview->setGeometry(rect());
    placeSelectionBar();
}

void GalleryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_hasAppeared) {
        m_hasAppeared = true;
        appear();
    }
}

void GalleryView::appear()
{
    if (m_activeCollection) {
        m_viewModel->setActiveCollection(m_activeCollection);
        m_viewModel->updateSections();
    }
    m_services.monitor.startMonitoring();
    m_viewModel->setIsMonitoring(true);
}

// A preview covers the rest. Otherwise the whole library decides, not the
// sections: a search without hits shows an empty grid, not the empty state.
void GalleryView::showLibraryArea()
{
    if (m_inPlacePreview)
        m_libraryArea->setCurrentWidget(m_inPlacePreview);
    else
        m_libraryArea->setCurrentWidget(m_viewModel->screenshots().isEmpty() ? m_emptyState : m_grid);
}
