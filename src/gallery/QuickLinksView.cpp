#include "gallery/QuickLinksView.h"

#include "gallery/CollectionList.h"
#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

QuickLinksView::QuickLinksView(QList<SmartCollection> collections, std::function<void(const SmartCollection&)> onSelect,
                               Settings& settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_list(new CollectionList(std::move(onSelect)))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);
    column->addWidget(makeTextLabel(u"Quick Links"_s, PremiumTheme::titleFont(), PremiumTheme::textPrimary()));
    column->addWidget(m_list, 1);
    m_list->setCollections(std::move(collections));
    followStoredMode();
    connect(&settings, &Settings::keyChanged, this, [this](const QString& key) {
        if (key == quickLinkViewModeKey)
            followStoredMode();
    });
}

const QList<SmartCollection>& QuickLinksView::collections() const
{
    return m_list->collections();
}

void QuickLinksView::setCollections(QList<SmartCollection> collections)
{
    m_list->setCollections(std::move(collections));
}

QuickLinkViewMode QuickLinksView::viewMode() const
{
    return storedQuickLinkViewMode(m_settings);
}

void QuickLinksView::setViewMode(QuickLinkViewMode mode)
{
    storeQuickLinkViewMode(m_settings, mode);
}

void QuickLinksView::followStoredMode()
{
    m_list->setTiled(viewMode() == QuickLinkViewMode::grid);
}
