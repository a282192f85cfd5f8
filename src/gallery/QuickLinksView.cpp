#include "gallery/QuickLinksView.h"

#include "core/Settings.h"
#include "gallery/QuickLinkChip.h"
#include "gallery/QuickLinkHeroCard.h"
#include "gallery/QuickLinkRow.h"
#include "gallery/ScreenScrollArea.h"
#include "gallery/SymbolSwitch.h"
#include "gallery/TilePainting.h"
#include "gallery/TileSections.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedPanel.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"
#include "ui/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
constexpr int horizontalInset = 24;
constexpr int headerToContent = 32;
constexpr int bottomMargin = 60;
constexpr int noMatchesHeight = 200;
const QColor faintWhite = QColor::fromRgbF(1, 1, 1, 0.4f);

SymbolSwitch::Look modeSwitchLook()
{
    // 80 wide in all: two buttons inside the track's margin.
    return {.segment = QSize(38, 20),
            .symbolSize = 13,
            .track = QColor::fromRgbF(1, 1, 1, 0.1f),
            .trackRadius = 6,
            .inset = 2,
            .currentFill = QColor::fromRgbF(1, 1, 1, 0.2f),
            .segmentRadius = 4,
            .currentSymbol = Qt::white,
            .otherSymbol = QColor::fromRgbF(1, 1, 1, 0.7f)};
}

QLineEdit* makeSearchField()
{
    auto* field = new QLineEdit;
    field->setFrame(false);
    field->setFont(TextStyle::body());
    field->setPlaceholderText(u"Search domains..."_s);
    field->setFixedWidth(160);
    field->setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Qt::white);
    field->setPalette(palette);
    field->setStyleSheet(u"QLineEdit { background: transparent; border: none; padding: 0; }"_s);
    return field;
}

TileSections::Section section(const QString& title, int count)
{
    TileSections::Section section;
    section.title = title;
    section.headingGap = 16;
    section.count = count;
    section.insets = QMargins(horizontalInset, 0, horizontalInset, 0);
    return section;
}

// The cards share the row's width equally.
TileSections::Section heroSection(int count)
{
    TileSections::Section heroes = section(u"Most Frequent"_s, count);
    heroes.fixedColumns = count;
    heroes.columnSpacing = 16;
    heroes.tileHeight = QuickLinkHeroCard::height;
    heroes.hoverMotion = PremiumTheme::standardSpring();
    return heroes;
}

TileSections::Section chipSection(int count)
{
    TileSections::Section chips = section(u"All Links"_s, count);
    chips.minColumnWidth = 180;
    chips.maxColumnWidth = 240;
    chips.columnSpacing = 12;
    chips.rowSpacing = 12;
    chips.tileHeight = QuickLinkChip::height();
    chips.hoverMotion = TileSections::EaseInOut{200};
    return chips;
}

TileSections::Section listSection(int count)
{
    TileSections::Section rows = section({}, count);
    rows.fixedColumns = 1;
    rows.tileHeight = QuickLinkRow::height();
    rows.insets.setTop(10);
    return rows;
}

// The search text is used as typed: a lone blank matches no domain name.
bool matchesSearch(const QString& name, const QString& searchText)
{
    return searchText.isEmpty() || name.contains(searchText, Qt::CaseInsensitive);
}

int modeIndex(QuickLinkViewMode mode)
{
    return mode == QuickLinkViewMode::grid ? 0 : 1;
}
} // namespace

QuickLinksView::QuickLinksView(QList<SmartCollection> collections, OnSelect onSelect, Settings& settings,
                               QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_onSelect(std::move(onSelect))
    , m_viewMode(storedQuickLinkViewMode(settings))
{
    m_tiles =
        TileSections::forScreen([this](QPainter& painter, const QRect& rect, TileSections::Tile tile,
                                       qreal hover) { paintTile(painter, rect, tile.section, tile.index, hover); },
                                headerToContent);
    connect(m_tiles, &TileSections::tileClicked, this, [this](TileSections::Tile tile) {
        // A copy: the callback may replace this screen's list.
        const SmartCollection clicked = collectionAt(tile.section, tile.index);
        if (m_onSelect)
            m_onSelect(clicked);
    });

    m_noMatches = makeTextLabel({}, TextStyle::body(), QColor::fromRgbF(1, 1, 1, 0.5f));
    m_noMatches->setAlignment(Qt::AlignCenter);
    m_noMatches->setContentsMargins(0, TileSections::overflowMargin, 0, TileSections::overflowMargin);
    m_noMatches->setMinimumHeight(noMatchesHeight + 2 * TileSections::overflowMargin);

    m_scrollArea = ScreenScrollArea::layOut(this, buildHeader(), {m_noMatches, m_tiles}, headerToContent, bottomMargin);

    connect(&settings, &Settings::keyChanged, this, [this](const QString& key) {
        if (key == quickLinkViewModeKey)
            followStoredMode();
    });
    setCollections(std::move(collections));
}

QWidget* QuickLinksView::buildHeader()
{
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(makeTextLabel(u"Quick Links"_s, PremiumTheme::systemFont(28, QFont::Bold), Qt::white));
    m_countLabel = makeTextLabel({}, TextStyle::body(), QColor::fromRgbF(1, 1, 1, 0.6f));
    titles->addWidget(m_countLabel);

    m_modeSwitch = new SymbolSwitch({u"square.grid.2x2"_s, u"list.bullet"_s}, modeSwitchLook());
    m_modeSwitch->setCurrentIndex(modeIndex(m_viewMode));
    connect(m_modeSwitch, &SymbolSwitch::activated, this,
            [this](int index) { setViewMode(index == 0 ? QuickLinkViewMode::grid : QuickLinkViewMode::list); });

    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(horizontalInset, horizontalInset, horizontalInset, 0);
    row->setSpacing(16);
    row->addLayout(titles);
    row->addStretch(1);
    row->addWidget(buildSearchBox(), 0, Qt::AlignVCenter);
    row->addWidget(m_modeSwitch, 0, Qt::AlignVCenter);
    return header;
}

QWidget* QuickLinksView::buildSearchBox()
{
    RoundedBackground background;
    background.cornerRadius = 8;
    background.fill = QColor::fromRgbF(1, 1, 1, 0.1f);
    auto* box = new RoundedPanel(background, 0, QBoxLayout::LeftToRight);
    QBoxLayout* row = box->contentLayout();
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(8);
    row->addWidget(new StyledSymbol(u"magnifyingglass"_s, faintWhite, 13));
    m_searchField = makeSearchField();
    row->addWidget(m_searchField);
    auto* clear = new PlainButton({}, {});
    clear->contentLayout()->addWidget(new StyledSymbol(u"xmark.circle.fill"_s, faintWhite, 13));
    clear->hide();
    m_clearButton = clear;
    row->addWidget(m_clearButton);
    connect(m_searchField, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_clearButton->setVisible(!text.isEmpty());
        refresh();
    });
    connect(m_clearButton, &QAbstractButton::clicked, m_searchField, &QLineEdit::clear);
    return box;
}

QList<SmartCollection> QuickLinksView::filteredCollections(const QList<SmartCollection>& collections,
                                                           const QString& searchText)
{
    QList<SmartCollection> result;
    for (const SmartCollection& collection : collections)
        if (matchesSearch(collection.name, searchText))
            result.append(collection);
    return result;
}

void QuickLinksView::setCollections(QList<SmartCollection> collections)
{
    m_collections = std::move(collections);
    refresh();
}

void QuickLinksView::setViewMode(QuickLinkViewMode mode)
{
    storeQuickLinkViewMode(m_settings, mode);
    // Also when the stored text already said so (no change signal then).
    followStoredMode();
}

void QuickLinksView::followStoredMode()
{
    const QuickLinkViewMode mode = storedQuickLinkViewMode(m_settings);
    m_modeSwitch->setCurrentIndex(modeIndex(mode));
    if (mode == m_viewMode)
        return;
    m_viewMode = mode;
    refresh();
}

QString QuickLinksView::searchText() const
{
    return m_searchField->text();
}

void QuickLinksView::setSearchText(const QString& text)
{
    m_searchField->setText(text);
}

QList<SmartCollection> QuickLinksView::filteredCollections() const
{
    QList<SmartCollection> result;
    result.reserve(m_filtered.size());
    for (const qsizetype position : m_filtered)
        result.append(m_collections.at(position));
    return result;
}

QList<SmartCollection> QuickLinksView::heroCollections() const
{
    return filteredCollections().mid(0, heroCount);
}

QList<SmartCollection> QuickLinksView::remainingCollections() const
{
    return filteredCollections().mid(heroCount);
}

void QuickLinksView::refresh()
{
    const QString search = searchText();
    m_filtered.clear();
    for (qsizetype i = 0; i < m_collections.size(); ++i)
        if (matchesSearch(m_collections.at(i).name, search))
            m_filtered.append(i);
    const int matches = int(m_filtered.size());
    m_countLabel->setText(u"%1 domains"_s.arg(matches));
    m_noMatches->setText(u"No matches for '"_s + search + u"'"_s);
    m_noMatches->setVisible(matches == 0);
    m_tiles->setVisible(matches > 0);

    QList<TileSections::Section> sections;
    if (matches > 0 && m_viewMode == QuickLinkViewMode::grid) {
        sections.append(heroSection(std::min(matches, heroCount)));
        if (matches > heroCount)
            sections.append(chipSection(matches - heroCount));
    } else if (matches > 0) {
        sections.append(listSection(matches));
    }
    for (int s = 0; s < sections.size(); ++s) {
        const QString kind = m_viewMode == QuickLinkViewMode::list ? u"row"_s : s == 0 ? u"hero"_s : u"chip"_s;
        sections[s].cacheKey = [this, s, kind](int index) {
            return TilePainting::restingKey(kind, collectionAt(s, index));
        };
        // A domain cut short is named in full under the pointer.
        sections[s].toolTip = [this, s](int index, const QRect& rect) {
            const SmartCollection& collection = collectionAt(s, index);
            return isNameCut(rect, s, collection) ? collection.name : QString();
        };
    }
    m_tiles->setSections(std::move(sections));
}

const SmartCollection& QuickLinksView::collectionAt(int section, int index) const
{
    // In the grid the chips follow the three cards.
    const int position = m_viewMode == QuickLinkViewMode::grid ? section * heroCount + index : index;
    return m_collections.at(m_filtered.at(position));
}

bool QuickLinksView::isNameCut(const QRect& rect, int section, const SmartCollection& collection) const
{
    if (m_viewMode == QuickLinkViewMode::list)
        return QuickLinkRow::isNameCut(rect, collection);
    if (section == 0)
        return QuickLinkHeroCard::isNameCut(rect, collection);
    return QuickLinkChip::isNameCut(rect, collection);
}

void QuickLinksView::paintTile(QPainter& painter, const QRect& rect, int section, int index, qreal hover) const
{
    const SmartCollection& collection = collectionAt(section, index);
    if (m_viewMode == QuickLinkViewMode::list)
        QuickLinkRow::paint(painter, rect, collection, hover > 0.5);
    else if (section == 0)
        QuickLinkHeroCard::paint(painter, rect, collection, hover);
    else
        QuickLinkChip::paint(painter, rect, collection, hover);
}

QRect QuickLinksView::entryRect(const QUuid& id) const
{
    for (int position = 0; position < m_filtered.size(); ++position) {
        if (m_collections.at(m_filtered.at(position)).id != id)
            continue;
        if (m_viewMode == QuickLinkViewMode::list)
            return m_tiles->tileRect({0, position});
        return position < heroCount ? m_tiles->tileRect({0, position}) : m_tiles->tileRect({1, position - heroCount});
    }
    return {};
}
