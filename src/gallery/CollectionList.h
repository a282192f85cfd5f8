#pragma once

#include "core/SmartCollection.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QListWidget>

#include <functional>

// The list both collection screens show: one entry per collection (symbol,
// name, count) in the given order; a click hands that collection on.
class CollectionList : public QListWidget
{
    Q_OBJECT

public:
    using OnSelect = std::function<void(const SmartCollection&)>;

    explicit CollectionList(OnSelect onSelect, QWidget* parent = nullptr);

    const QList<SmartCollection>& collections() const { return m_collections; }
    void setCollections(QList<SmartCollection> collections);
    // Tiles when true, rows otherwise.
    void setTiled(bool tiled);

private:
    QIcon icon(const QString& name, const QColor& tint, const QString& key);

    OnSelect m_onSelect;
    QList<SmartCollection> m_collections;
    QHash<QString, QIcon> m_icons;
};
