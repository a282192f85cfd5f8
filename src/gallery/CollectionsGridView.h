#pragma once

#include "core/SmartCollection.h"

#include <QList>
#include <QWidget>

#include <functional>

class CollectionList;

// The collections screen: the given smart collections as tiles or rows; a
// click hands the collection to onSelect.
class CollectionsGridView : public QWidget
{
    Q_OBJECT

public:
    enum class ViewMode { grid, list };
    Q_ENUM(ViewMode)

    CollectionsGridView(QList<SmartCollection> collections, std::function<void(const SmartCollection&)> onSelect,
                        QWidget* parent = nullptr);

    const QList<SmartCollection>& collections() const;
    // A new list keeps the view mode.
    void setCollections(QList<SmartCollection> collections);
    ViewMode viewMode() const { return m_viewMode; }
    void setViewMode(ViewMode mode);
    CollectionList* list() const { return m_list; }

private:
    CollectionList* m_list;
    ViewMode m_viewMode = ViewMode::grid;
};
