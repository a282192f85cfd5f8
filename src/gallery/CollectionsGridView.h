#pragma once

#include "core/SmartCollection.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <functional>

class QScrollArea;
class SymbolSwitch;
class TileSections;

// The collections screen: the recent-day, tag and folder collections under
// the headings "Review", "User Collections" and "Folders", as a grid of cards
// or a list of rows. A click on a card or row hands its collection to
// onSelect; the screen changes nothing itself. Every new screen starts as a
// grid.
class CollectionsGridView : public QWidget
{
    Q_OBJECT

public:
    enum class ViewMode { grid, list };
    Q_ENUM(ViewMode)

    struct Section
    {
        QString title;
        QList<SmartCollection> collections;
    };

    using OnSelect = std::function<void(const SmartCollection&)>;

    CollectionsGridView(QList<SmartCollection> collections, OnSelect onSelect, QWidget* parent = nullptr);

    // Review (recap), User Collections (userTag), Folders (folder), in that
    // order whatever the input's, each keeping the input order; kinds without
    // a collection, and every other kind, get no section.
    static QList<Section> groupedSections(const QList<SmartCollection>& collections);

    const QList<SmartCollection>& collections() const { return m_collections; }
    // Keeps the view mode and the scroll position.
    void setCollections(QList<SmartCollection> collections);
    ViewMode viewMode() const { return m_viewMode; }
    void setViewMode(ViewMode mode);

    // Where the collection's card or row lies in tiles(); null when it is
    // not shown.
    QRect entryRect(const QUuid& id) const;
    TileSections* tiles() const { return m_tiles; }
    SymbolSwitch* modeSwitch() const { return m_modeSwitch; }
    QScrollArea* scrollArea() const { return m_scrollArea; }

private:
    QWidget* buildHeader();
    void refresh();
    void paintTile(QPainter& painter, const QRect& rect, int section, int index, qreal hover) const;

    QList<SmartCollection> m_collections;
    QList<Section> m_sections;
    OnSelect m_onSelect;
    ViewMode m_viewMode = ViewMode::grid;
    QScrollArea* m_scrollArea = nullptr;
    SymbolSwitch* m_modeSwitch = nullptr;
    TileSections* m_tiles = nullptr;
};
