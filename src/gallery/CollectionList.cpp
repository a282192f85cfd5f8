#include "gallery/CollectionList.h"

#include "app/theme/PremiumTheme.h"
#include "app/theme/SymbolRegistry.h"

using namespace Qt::StringLiterals;

CollectionList::CollectionList(OnSelect onSelect, QWidget* parent)
    : QListWidget(parent)
    , m_onSelect(std::move(onSelect))
{
    setFrameShape(QFrame::NoFrame);
    setFont(PremiumTheme::bodyFont());
    setUniformItemSizes(true);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
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
    setUpdatesEnabled(false);
    clear();
    for (const SmartCollection& collection : std::as_const(m_collections)) {
        const QColor tint = collection.color ? PremiumTheme::systemColor(*collection.color) : PremiumTheme::primary();
        auto* item = new QListWidgetItem(u"%1\n%2"_s.arg(collection.name).arg(collection.itemCount), this);
        if (SymbolRegistry::contains(collection.icon))
            item->setIcon(SymbolRegistry::icon(collection.icon, tint));
        item->setTextAlignment(Qt::AlignCenter);
    }
    setUpdatesEnabled(true);
}

void CollectionList::setTiled(bool tiled)
{
    setViewMode(tiled ? QListView::IconMode : QListView::ListMode);
    setIconSize(tiled ? QSize(32, 32) : QSize(20, 20));
    setGridSize(tiled ? QSize(180, 110) : QSize());
    setSpacing(tiled ? 8 : 2);
}
