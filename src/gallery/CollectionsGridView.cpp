#include "gallery/CollectionsGridView.h"

#include "gallery/CollectionCard.h"
#include "gallery/CollectionListRow.h"
#include "gallery/ScreenScrollArea.h"
#include "gallery/SymbolSwitch.h"
#include "gallery/TilePainting.h"
#include "gallery/TileSections.h"
#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>

#include <array>

using namespace Qt::StringLiterals;

namespace {
constexpr int horizontalInset = 24;
constexpr int headerToContent = 32;
constexpr int bottomMargin = 40;
constexpr int sectionSpacing = 24;

struct SectionKind
{
    CollectionType type;
    const char16_t* title;
};
constexpr std::array sectionKinds = {SectionKind{CollectionType::recap, u"Review"},
                                     SectionKind{CollectionType::userTag, u"User Collections"},
                                     SectionKind{CollectionType::folder, u"Folders"}};

SymbolSwitch::Look modeSwitchLook()
{
    return {.segment = QSize(36, 32),
            .symbolSize = 16,
            .track = QColor::fromRgbF(1, 1, 1, 0.1f),
            .trackRadius = 8,
            .inset = 0,
            .currentFill = PremiumTheme::primary(),
            .segmentRadius = 6,
            .currentSymbol = Qt::white,
            .otherSymbol = QColor::fromRgbF(1, 1, 1, 0.5f)};
}
} // namespace

CollectionsGridView::CollectionsGridView(QList<SmartCollection> collections, OnSelect onSelect, QWidget* parent)
    : QWidget(parent)
    , m_onSelect(std::move(onSelect))
{
    m_tiles =
        TileSections::forScreen([this](QPainter& painter, const QRect& rect, TileSections::Tile tile,
                                       qreal hover) { paintTile(painter, rect, tile.section, tile.index, hover); },
                                sectionSpacing);
    connect(m_tiles, &TileSections::tileClicked, this, [this](TileSections::Tile tile) {
        // A copy: the callback may replace this screen's list.
        const SmartCollection clicked = m_sections.at(tile.section).collections.at(tile.index);
        if (m_onSelect)
            m_onSelect(clicked);
    });

    m_scrollArea = ScreenScrollArea::layOut(this, buildHeader(), {m_tiles}, headerToContent, bottomMargin);

    setCollections(std::move(collections));
}

QWidget* CollectionsGridView::buildHeader()
{
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(horizontalInset, horizontalInset, horizontalInset, 0);
    row->addWidget(makeTextLabel(u"Collections"_s, PremiumTheme::systemFont(32, QFont::Bold), Qt::white));
    row->addStretch(1);
    m_modeSwitch = new SymbolSwitch({u"square.grid.2x2"_s, u"list.bullet"_s}, modeSwitchLook());
    connect(m_modeSwitch, &SymbolSwitch::activated, this,
            [this](int index) { setViewMode(index == 0 ? ViewMode::grid : ViewMode::list); });
    row->addWidget(m_modeSwitch, 0, Qt::AlignVCenter);
    return header;
}

QList<CollectionsGridView::Section> CollectionsGridView::groupedSections(const QList<SmartCollection>& collections)
{
    std::array<QList<SmartCollection>, sectionKinds.size()> groups;
    for (const SmartCollection& collection : collections)
        for (std::size_t kind = 0; kind < sectionKinds.size(); ++kind)
            if (collection.type == sectionKinds[kind].type)
                groups[kind].append(collection);
    QList<Section> sections;
    for (std::size_t kind = 0; kind < sectionKinds.size(); ++kind)
        if (!groups[kind].isEmpty())
            sections.append({QString::fromUtf16(sectionKinds[kind].title), std::move(groups[kind])});
    return sections;
}

void CollectionsGridView::setCollections(QList<SmartCollection> collections)
{
    m_collections = std::move(collections);
    m_sections = groupedSections(m_collections);
    refresh();
}

void CollectionsGridView::setViewMode(ViewMode mode)
{
    m_viewMode = mode;
    m_modeSwitch->setCurrentIndex(mode == ViewMode::grid ? 0 : 1);
    refresh();
}

void CollectionsGridView::refresh()
{
    QList<TileSections::Section> sections;
    for (const Section& section : std::as_const(m_sections)) {
        TileSections::Section tiles;
        tiles.title = section.title;
        tiles.headingGap = sectionSpacing;
        tiles.count = int(section.collections.size());
        tiles.insets = QMargins(horizontalInset, 0, horizontalInset, 0);
        if (m_viewMode == ViewMode::grid) {
            tiles.minColumnWidth = 160;
            tiles.columnSpacing = 16;
            tiles.rowSpacing = 16;
            tiles.tileHeight = CollectionCard::height();
            tiles.hoverMotion = PremiumTheme::standardSpring();
            tiles.cacheKey = [members = section.collections](int index) {
                return TilePainting::restingKey(u"card", members.at(index));
            };
            tiles.cacheMargin = CollectionCard::restingOverflow;
        } else {
            tiles.rowSpacing = 8;
            tiles.heightOf = [members = section.collections](int index, int width) {
                return CollectionListRow::height(members.at(index).name, width);
            };
            tiles.cacheKey = [members = section.collections](int index) {
                return TilePainting::restingKey(u"row", members.at(index));
            };
        }
        sections.append(std::move(tiles));
    }
    m_tiles->setSections(std::move(sections));
}

void CollectionsGridView::paintTile(QPainter& painter, const QRect& rect, int section, int index, qreal hover) const
{
    const SmartCollection& collection = m_sections.at(section).collections.at(index);
    if (m_viewMode == ViewMode::grid)
        CollectionCard::paint(painter, rect, collection, hover);
    else
        CollectionListRow::paint(painter, rect, collection, hover > 0.5);
}

QRect CollectionsGridView::entryRect(const QUuid& id) const
{
    for (int section = 0; section < m_sections.size(); ++section) {
        const QList<SmartCollection>& members = m_sections.at(section).collections;
        for (int index = 0; index < members.size(); ++index)
            if (members.at(index).id == id)
                return m_tiles->tileRect({section, index});
    }
    return {};
}
