#include "app/MainAppView.h"

#include "app/AppServices.h"

#include "app/SettingsView.h"
#include "app/SidebarButton.h"
#include "core/AppPreferences.h"
#include "core/DatabaseManager.h"
#include "core/Settings.h"
#include "duplicates/DuplicateFinderView.h"
#include "gallery/CollectionsGridView.h"
#include "gallery/GalleryView.h"
#include "gallery/QuickLinksView.h"
#include "ingest/ScreenshotMonitor.h"
#include "organize/PremiumReOrganizerView.h"
#include "spacesaver/SpaceSaverView.h"
#include "ui/BlurView.h"
#include "ui/BlurredGlow.h"
#include "ui/ColorFromHex.h"
#include "ui/CrossFadeOverlay.h"
#include "ui/Motion.h"
#include "ui/PanelWindow.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolLabel.h"
#include "ui/SymbolRegistry.h"
#include "ui/TextLabel.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace Qt::StringLiterals;

namespace {
using Item = MainAppView::SidebarItem;

QColor white(qreal alpha)
{
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

// The sidebar's ground: black at 0.8 under the sidebar material, with a
// hairline along the trailing edge.
class SidebarPanel : public QWidget
{
public:
    SidebarPanel()
        : m_material(new BlurView(BlurView::Material::sidebar, this))
        , m_hairline(new QWidget(this))
    {
        m_material->lower();
        m_hairline->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_hairline->setAutoFillBackground(true);
        QPalette palette = m_hairline->palette();
        // A divider (white at 0.1 on the dark interface) drawn at opacity 0.1.
        palette.setColor(QPalette::Window, white(0.1 * 0.1));
        m_hairline->setPalette(palette);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.8f));
    }
    void resizeEvent(QResizeEvent*) override
    {
        m_material->setGeometry(rect());
        m_hairline->setGeometry(width() - 1, 0, 1, height());
        m_hairline->raise();
    }

private:
    BlurView* m_material;
    QWidget* m_hairline;
};

// A symbol filled with the brand gradient.
class GradientSymbol : public QWidget
{
public:
    GradientSymbol(const QString& symbolName, int size)
        : m_size(size)
    {
        setProperty("symbolName", symbolName);
        setFixedSize(size, size);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const qreal ratio = devicePixelRatioF();
        QPixmap symbol = SymbolRegistry::pixmap(property("symbolName").toString(), m_size, Qt::white, ratio);
        {
            QPainter tint(&symbol);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(QRectF(0, 0, m_size, m_size), PremiumTheme::primaryGradient());
        }
        QPainter(this).drawPixmap(0, 0, symbol);
    }

private:
    int m_size;
};

// The detail area's backdrop: near-black with three soft coloured lights,
// and the current screen laid over all of it.
class DetailArea : public QWidget
{
public:
    DetailArea() { setObjectName(u"detailArea"_s); }

    QWidget* content() const { return m_content; }
    void setContent(QWidget* content)
    {
        m_content = content;
        if (content) {
            content->setParent(this);
            content->setGeometry(rect());
            content->show();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.fillRect(rect(), colorFromHex(u"050505"_s));
        const qreal w = width();
        const qreal h = height();
        // Each circle's frame starts at the top-left corner and is then moved
        // by its offset; the glow is placed by its centre.
        const struct
        {
            QColor color;
            qreal diameter;
            qreal blur;
            QPointF offset;
        } circles[] = {
            {withAlpha(colorFromHex(u"1A1A40"_s), 0.4), 600, 120, {-100, -200}},
            {withAlpha(colorFromHex(u"4A0E4E"_s), 0.3), 500, 100, {0.6 * w, 0.4 * h}},
            {withAlpha(PremiumTheme::primary(), 0.2), 400, 80, {100, 0.8 * h}},
        };
        for (const auto& circle : circles)
            BlurredGlow::paint(painter, circle.offset + QPointF(circle.diameter, circle.diameter) / 2, circle.color,
                               circle.diameter, circle.blur);
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (m_content)
            m_content->setGeometry(rect());
    }

private:
    QPointer<QWidget> m_content;
};

// A picture of the outgoing gallery, sliding off to the trailing edge.
class SlidingPicture : public QWidget
{
public:
    static inline const QString name = u"slidingPicture"_s;

    SlidingPicture(QWidget* parent, const QPixmap& picture)
        : QWidget(parent)
        , m_picture(picture)
    {
        setObjectName(name);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(parent->rect());
        raise();
        show();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawPixmap(rect(), m_picture); }

private:
    QPixmap m_picture;
};

// The pictures of earlier screens still fading or sliding away go at once.
void endTransitions(QWidget& area)
{
    CrossFadeOverlay::endAll(area);
    for (QWidget* slide : area.findChildren<QWidget*>(SlidingPicture::name, Qt::FindDirectChildrenOnly))
        delete slide;
}

QWidget* emptyState(const QString& symbolName, const QString& text)
{
    auto* state = new QWidget;
    state->setObjectName(u"emptyState"_s);
    auto* column = new QVBoxLayout(state);
    column->setSpacing(16);
    column->addStretch();
    column->addWidget(new SymbolLabel(symbolName, 48, white(0.3)), 0, Qt::AlignHCenter);
    column->addWidget(makeTextLabel(text, PremiumTheme::bodyFont(), white(0.6)), 0, Qt::AlignHCenter);
    column->addStretch();
    return state;
}

bool isLibraryCollection(const SmartCollection& collection)
{
    switch (collection.type) {
    case CollectionType::recap:
    case CollectionType::folder:
    case CollectionType::smart:
    case CollectionType::userTag:
        return true;
    case CollectionType::smartGroup:
    case CollectionType::link:
        return false;
    }
    return false;
}
} // namespace

MainAppView::MainAppView(AppServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_monitor(services.monitor())
    , m_settings(services.settings())
    , m_rebuilder(services.workers(), [collections = &services.collections()](const QList<Screenshot>& screenshots,
                                                                              const QString& monitoredPath) {
        return collections->generateCollections(screenshots, monitoredPath);
    })
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(buildSidebar());
    m_detailArea = new DetailArea;
    row->addWidget(m_detailArea, 1);
    refreshButtons();
    updateDetail(std::nullopt);

    connect(&m_rebuilder, &CollectionRebuilder::collectionsReady, this, &MainAppView::applyCollections);
    connect(&m_monitor, &ScreenshotMonitor::screenshotsChanged, this,
            [this] { screenshotsChanged(m_monitor.screenshots()); });
    screenshotsChanged(m_monitor.screenshots());
}

MainAppView::~MainAppView() = default;

QWidget* MainAppView::buildSidebar()
{
    auto* sidebar = new SidebarPanel;
    sidebar->setObjectName(u"sidebar"_s);
    sidebar->setFixedWidth(sidebarWidth);
    auto* column = new QVBoxLayout(sidebar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);

    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->setContentsMargins(40, 50, 40, 20);
    header->addWidget(new GradientSymbol(u"photo.stack.fill"_s, 24));
    QFont titleFont = PremiumTheme::systemFont(18, QFont::Bold);
    header->addWidget(makeTextLabel(u"Glimmerdeck"_s, titleFont, PremiumTheme::textPrimary()));
    header->addStretch();
    column->addLayout(header);

    column->addWidget(buildSection(u"LIBRARY"_s, {Item::screenshots, Item::smartGroups, Item::quickLinks}, 0));
    column->addWidget(buildSection(u"TOOLS"_s, {Item::reorganizer, Item::spaceSaver, Item::duplicateFinder}, 20));
    column->addStretch();
    column->addWidget(buildSettingsRow());
    column->addSpacing(20 - column->spacing());
    return sidebar;
}

QWidget* MainAppView::buildSection(const QString& title, const QList<SidebarItem>& items, int topInset)
{
    static const QHash<SidebarItem, std::pair<QString, QString>> rows = {
        {Item::screenshots, {u"Screenshots"_s, u"photo.on.rectangle"_s}},
        {Item::smartGroups, {u"Collections"_s, u"folder"_s}},
        {Item::quickLinks, {u"Quick Links"_s, u"link"_s}},
        {Item::reorganizer, {u"Re-Organizer"_s, u"folder.badge.gearshape"_s}},
        {Item::spaceSaver, {u"Space Saver"_s, u"arrow.down.circle"_s}},
        {Item::duplicateFinder, {u"Duplicate Finder"_s, u"doc.on.doc.fill"_s}},
    };
    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    auto* label = makeTextLabel(title, PremiumTheme::systemFont(11, QFont::Bold), white(0.4));
    label->setAlignment(Qt::AlignHCenter);
    label->setContentsMargins(20, topInset, 20, 8);
    column->addWidget(label);
    for (SidebarItem item : items) {
        const auto& [text, symbol] = rows.value(item);
        auto* button = new SidebarButton(text, symbol);
        connect(button, &SidebarButton::clicked, this, [this, item] { select(item); });
        m_buttons.insert(item, button);
        column->addWidget(button);
    }
    return section;
}

QAbstractButton* MainAppView::buildSettingsRow()
{
    auto* row = new QPushButton(SymbolRegistry::icon(u"gearshape"_s, white(0.6)), u"Settings"_s);
    row->setObjectName(u"settingsRow"_s);
    row->setProperty("symbolName", u"gearshape"_s);
    row->setFont(PremiumTheme::systemFont(14));
    row->setCursor(Qt::PointingHandCursor);
    row->setFlat(true);
    row->setStyleSheet(u"QPushButton { color: rgba(255, 255, 255, 0.6); background: transparent; border: none;"
                       " padding: 20px; text-align: left; }"_s);
    connect(row, &QPushButton::clicked, this, &MainAppView::showSettings);
    m_settingsRow = row;
    return row;
}

void MainAppView::refreshButtons()
{
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it)
        it.value()->setSelected(m_selectedItem == it.key());
}

void MainAppView::select(SidebarItem item)
{
    m_selectedItem = item;
    m_selectedCollection.reset();
    refreshButtons();
    updateDetail(std::nullopt);
}

void MainAppView::openCollection(const SmartCollection& collection)
{
    m_selectedCollection = collection;
    updateDetail(AnimatedChange::defaultAnimation());
}

void MainAppView::closeCollection()
{
    m_selectedCollection.reset();
    updateDetail(AnimatedChange::defaultAnimation());
}

void MainAppView::showSettings()
{
    if (m_settingsSheet) {
        m_settingsSheet->raise();
        return;
    }
    auto* sheet = new QDialog(this);
    sheet->setObjectName(u"settingsSheet"_s);
    sheet->setWindowTitle(u"Settings"_s);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* settings = new SettingsView(m_services.preferences(), m_monitor, m_services.store());
    layout->addWidget(settings);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // On the sheet's panel the view draws no background of its own.
    settings->setAttribute(Qt::WA_StyledBackground, false);
    PanelWindow::dress(*sheet, 0);
    connect(settings, &SettingsView::dismissRequested, sheet, &QDialog::close);
    m_settingsSheet = sheet;
    sheet->open();
}

void MainAppView::screenshotsChanged(const QList<Screenshot>& screenshots)
{
    m_rebuilder.screenshotsChanged(screenshots, m_monitor.monitoredPath());
}

void MainAppView::applyCollections(const QList<SmartCollection>& collections)
{
    m_collections = collections;
    updateDetail(AnimatedChange::defaultAnimation());
    Q_EMIT collectionsChanged();
}

QList<SmartCollection> MainAppView::libraryCollections(const QList<SmartCollection>& collections)
{
    QList<SmartCollection> result;
    std::copy_if(collections.cbegin(), collections.cend(), std::back_inserter(result), isLibraryCollection);
    return result;
}

QList<SmartCollection> MainAppView::linkCollections(const QList<SmartCollection>& collections)
{
    QList<SmartCollection> result;
    std::copy_if(collections.cbegin(), collections.cend(), std::back_inserter(result),
                 [](const SmartCollection& c) { return c.type == CollectionType::link; });
    return result;
}

MainAppView::DetailKey MainAppView::currentDetailKey() const
{
    using Kind = DetailKey::Kind;
    if (m_selectedCollection)
        return {Kind::collectionGallery, m_selectedCollection->id};
    if (!m_selectedItem)
        return {};
    switch (*m_selectedItem) {
    case Item::screenshots:
        return {Kind::gallery, {}};
    case Item::smartGroups:
        return {libraryCollections(m_collections).isEmpty() ? Kind::noCollections : Kind::collections, {}};
    case Item::quickLinks:
        return {linkCollections(m_collections).isEmpty() ? Kind::noLinks : Kind::quickLinks, {}};
    case Item::reorganizer:
        return {Kind::reorganizer, {}};
    case Item::spaceSaver:
        return {Kind::spaceSaver, {}};
    case Item::duplicateFinder:
        return {Kind::duplicateFinder, {}};
    }
    return {};
}

QWidget* MainAppView::buildGallery(std::optional<SmartCollection> collection)
{
    std::function<void()> onBack;
    if (collection)
        onBack = [this] { closeCollection(); };
    auto* gallery = new GalleryView(std::move(collection), std::move(onBack),
                                    {m_monitor, m_settings, m_services.imageCache(), m_desktop, m_folderChooser,
                                     m_services.trash(), m_services.store(), m_services.workers(), m_services.search(),
                                     m_services.events(), m_videoBackend});
    gallery->setShowingPreview(m_isPreviewActive);
    connect(gallery, &GalleryView::isShowingPreviewChanged, this,
            [this](bool showing) { m_isPreviewActive = showing; });
    return gallery;
}

QWidget* MainAppView::buildDetail(const DetailKey& key)
{
    using Kind = DetailKey::Kind;
    auto open = [this](const SmartCollection& collection) { openCollection(collection); };
    switch (key.kind) {
    case Kind::nothing:
        return nullptr;
    case Kind::gallery:
        return buildGallery(std::nullopt);
    case Kind::collectionGallery:
        return buildGallery(m_selectedCollection);
    case Kind::collections:
        return new CollectionsGridView(libraryCollections(m_collections), open);
    case Kind::noCollections:
        return emptyState(u"folder"_s, u"No collections found"_s);
    case Kind::quickLinks:
        return new QuickLinksView(linkCollections(m_collections), open, m_settings);
    case Kind::noLinks:
        return emptyState(u"link"_s, u"No links detected yet"_s);
    case Kind::reorganizer:
        return new PremiumReOrganizerView(m_monitor, m_services.organizer());
    case Kind::spaceSaver:
        return new SpaceSaverView(m_services.compression(), m_monitor, m_services.notSmaller());
    case Kind::duplicateFinder:
        return new DuplicateFinderView(m_monitor, m_services.store(), m_services.trash(), m_services.workers());
    }
    return nullptr;
}

void MainAppView::updateDetail(const std::optional<AnimatedChange::Animation>& animation)
{
    const DetailKey key = currentDetailKey();
    if (key == m_detailKey && (m_detail || key.kind == DetailKey::Kind::nothing)) {
        // The same screen stays (and keeps its own state); only its list is new.
        if (auto* grid = qobject_cast<CollectionsGridView*>(m_detail))
            grid->setCollections(libraryCollections(m_collections));
        else if (auto* links = qobject_cast<QuickLinksView*>(m_detail))
            links->setCollections(linkCollections(m_collections));
        return;
    }
    replaceDetail(key, animation);
    Q_EMIT detailChanged();
}

void MainAppView::replaceDetail(const DetailKey& key, const std::optional<AnimatedChange::Animation>& animation)
{
    using Kind = DetailKey::Kind;
    auto* area = static_cast<DetailArea*>(m_detailArea);
    const bool animate = animation && !Motion::isInstant() && isVisible();
    const bool opening = key.kind == Kind::collectionGallery;
    const bool closing = m_detailKey.kind == Kind::collectionGallery && !opening;
    QPixmap outgoing;
    if (animate)
        outgoing = closing && m_detail ? m_detail->grab() : area->grab();
    // A new fade starts from the picture of what showed, earlier fades
    // included; a switch at once shows the new screen alone.
    endTransitions(*area);

    if (m_detail) {
        m_detail->hide();
        m_detail->deleteLater();
    }
    m_detailKey = key;
    m_detail = buildDetail(key);
    area->setContent(m_detail);
    if (!animate)
        return;

    if (closing) {
        // The gallery leaves towards the trailing edge, uncovering the screen.
        auto* slide = new SlidingPicture(area, outgoing);
        QVariantAnimation* move =
            Motion::animate(slide, "pos", QPoint(area->width(), 0), animation->curve, animation->durationMs);
        if (move)
            connect(move, &QAbstractAnimation::finished, slide, &QObject::deleteLater);
        else
            delete slide;
        return;
    }
    CrossFadeOverlay::fadeOut(area, outgoing, animation->curve, animation->durationMs);
    if (opening && m_detail) {
        // The gallery enters from the trailing edge over the fading screen.
        m_detail->move(area->width(), 0);
        m_detail->raise();
        Motion::animate(m_detail, "pos", QPoint(0, 0), animation->curve, animation->durationMs);
    }
}
