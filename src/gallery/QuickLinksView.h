#pragma once

#include "core/Settings.h"
#include "core/SmartCollection.h"
#include "gallery/QuickLinkViewMode.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class CollectionList;

// The quick-links screen: one entry per web domain seen in the screenshots;
// a click hands the domain's collection to onSelect. The layout follows the
// stored "quickLinkViewMode".
class QuickLinksView : public QWidget
{
    Q_OBJECT

public:
    QuickLinksView(QList<SmartCollection> collections, std::function<void(const SmartCollection&)> onSelect,
                   Settings& settings = Settings::shared(), QWidget* parent = nullptr);

    const QList<SmartCollection>& collections() const;
    void setCollections(QList<SmartCollection> collections);
    QuickLinkViewMode viewMode() const;
    void setViewMode(QuickLinkViewMode mode);
    const QString& searchText() const { return m_searchText; }
    CollectionList* list() const { return m_list; }

private:
    void followStoredMode();

    Settings& m_settings;
    CollectionList* m_list;
    QString m_searchText;
};
