#include "gallery/CollectionList.h"

#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

using namespace Qt::StringLiterals;

namespace {
constexpr int iconKeyRole = Qt::UserRole + 1;
}

CollectionList::CollectionList(OnSelect onSelect, QWidget* parent)
    : QListWidget(parent)
    , m_onSelect(std::move(onSelect))
{
    setFrameShape(QFrame::NoFrame);
    setFont(PremiumTheme::bodyFont());
    setUniformItemSizes(true);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    // Hundreds of domains are laid out a batch per event-loop turn, so a
    // first fill never holds up the interface.
    setLayoutMode(QListView::Batched);
    setBatchSize(100);
    setSelectionMode(QAbstractItemView::NoSelection);
    setStyleSheet(u"QListWidget { background: transparent; }"_s);
    viewport()->setAutoFillBackground(false);
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int index = row(item);
        if (m_onSelect && index >= 0 && index < m_collections.size())
            m_onSelect(m_collections.at(index));
    });
    setTiled(true);
}

void CollectionList::setCollections(QList<SmartCollection> collections)
{
    m_collections = std::move(collections);
    // Rebuilds usually change a few counts at most: existing entries are
    // rewritten only where they differ, so a long list is not laid out anew.
    while (count() > m_collections.size())
        delete takeItem(count() - 1);
    for (qsizetype row = 0; row < m_collections.size(); ++row) {
        const SmartCollection& collection = m_collections.at(row);
        QListWidgetItem* entry = item(int(row));
        if (!entry) {
            entry = new QListWidgetItem(this);
            entry->setTextAlignment(Qt::AlignCenter);
        }
        const QString text = u"%1\n%2"_s.arg(collection.name).arg(collection.itemCount);
        if (entry->text() != text)
            entry->setText(text);
        const QColor tint = collection.color ? PremiumTheme::systemColor(*collection.color) : PremiumTheme::primary();
        const QString iconKey = collection.icon + u'|' + tint.name(QColor::HexArgb);
        if (entry->data(iconKeyRole).toString() != iconKey) {
            entry->setIcon(icon(collection.icon, tint, iconKey));
            entry->setData(iconKeyRole, iconKey);
        }
    }
}

QIcon CollectionList::icon(const QString& name, const QColor& tint, const QString& key)
{
    if (!SymbolRegistry::contains(name))
        return {};
    auto cached = m_icons.constFind(key);
    if (cached == m_icons.cend())
        cached = m_icons.insert(key, SymbolRegistry::icon(name, tint));
    return *cached;
}

void CollectionList::setTiled(bool tiled)
{
    setViewMode(tiled ? QListView::IconMode : QListView::ListMode);
    setIconSize(tiled ? QSize(32, 32) : QSize(20, 20));
    setGridSize(tiled ? QSize(180, 110) : QSize());
    setSpacing(tiled ? 8 : 2);
}
