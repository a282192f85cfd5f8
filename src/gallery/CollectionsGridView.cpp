#include "gallery/CollectionsGridView.h"

#include "gallery/CollectionList.h"
#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

CollectionsGridView::CollectionsGridView(QList<SmartCollection> collections,
                                         std::function<void(const SmartCollection&)> onSelect, QWidget* parent)
    : QWidget(parent)
    , m_list(new CollectionList(std::move(onSelect)))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);
    column->addWidget(makeTextLabel(u"Collections"_s, PremiumTheme::titleFont(), PremiumTheme::textPrimary()));
    column->addWidget(m_list, 1);
    m_list->setCollections(std::move(collections));
}

const QList<SmartCollection>& CollectionsGridView::collections() const
{
    return m_list->collections();
}

void CollectionsGridView::setCollections(QList<SmartCollection> collections)
{
    m_list->setCollections(std::move(collections));
}

void CollectionsGridView::setViewMode(ViewMode mode)
{
    m_viewMode = mode;
    m_list->setTiled(mode == ViewMode::grid);
}
