#pragma once

#include "core/SmartCollection.h"
#include "gallery/QuickLinkViewMode.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QScrollArea;
class Settings;
class SymbolSwitch;
class TileSections;

// The quick-links screen: one entry per web domain seen in the screenshots,
// most frequent first, narrowed by a search of the names. As a grid the first
// three are large cards under "Most Frequent" and the rest chips under "All
// Links"; as a list every domain is a row. The mode is stored under
// "quickLinkViewMode" and followed while shown; the search text lives only as
// long as the screen. A click hands the domain's collection to onSelect.
class QuickLinksView : public QWidget
{
    Q_OBJECT

public:
    using OnSelect = std::function<void(const SmartCollection&)>;
    static constexpr int heroCount = 3;

    QuickLinksView(QList<SmartCollection> collections, OnSelect onSelect, Settings& settings,
                   QWidget* parent = nullptr);

    // Those whose name contains `searchText`, ignoring case, in their order;
    // all of them for an empty text. The text is used as typed, blanks too.
    static QList<SmartCollection> filteredCollections(const QList<SmartCollection>& collections,
                                                      const QString& searchText);

    const QList<SmartCollection>& collections() const { return m_collections; }
    // Keeps the search text, the mode and the scroll position.
    void setCollections(QList<SmartCollection> collections);
    QuickLinkViewMode viewMode() const { return m_viewMode; }
    // Stores the mode for every later showing.
    void setViewMode(QuickLinkViewMode mode);
    QString searchText() const;
    void setSearchText(const QString& text);

    QList<SmartCollection> filteredCollections() const;
    // The first three of the filtered domains, and the rest.
    QList<SmartCollection> heroCollections() const;
    QList<SmartCollection> remainingCollections() const;

    // Where the domain's card, chip or row lies in tiles(); null when it is
    // not shown.
    QRect entryRect(const QUuid& id) const;
    QLabel* countLabel() const { return m_countLabel; }
    QLabel* noMatchesLabel() const { return m_noMatches; }
    QLineEdit* searchField() const { return m_searchField; }
    QAbstractButton* clearButton() const { return m_clearButton; }
    SymbolSwitch* modeSwitch() const { return m_modeSwitch; }
    TileSections* tiles() const { return m_tiles; }
    QScrollArea* scrollArea() const { return m_scrollArea; }

private:
    QWidget* buildHeader();
    QWidget* buildSearchBox();
    void followStoredMode();
    void refresh();
    const SmartCollection& collectionAt(int section, int index) const;
    void paintTile(QPainter& painter, const QRect& rect, int section, int index, qreal hover) const;
    bool isNameCut(const QRect& rect, int section, const SmartCollection& collection) const;

    Settings& m_settings;
    QList<SmartCollection> m_collections;
    QList<qsizetype> m_filtered; // positions in m_collections
    OnSelect m_onSelect;
    QuickLinkViewMode m_viewMode = QuickLinkViewMode::grid;

    QScrollArea* m_scrollArea = nullptr;
    QLabel* m_countLabel = nullptr;
    QLineEdit* m_searchField = nullptr;
    QAbstractButton* m_clearButton = nullptr;
    SymbolSwitch* m_modeSwitch = nullptr;
    QLabel* m_noMatches = nullptr;
    TileSections* m_tiles = nullptr;
};
