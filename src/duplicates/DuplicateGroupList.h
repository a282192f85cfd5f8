#pragma once

#include "duplicates/DuplicateFinderService.h"

#include <QHash>
#include <QList>
#include <QScrollArea>
#include <QSet>
#include <QUuid>

class DuplicateGroupRow;
class MemberThumbnails;

// The scrolling list of group cards. All cards have one height, so the list
// knows where each one goes without building it: only the cards in and near
// the visible part exist, and those that scroll far away are dropped (their
// marks are kept for when they come back).
class DuplicateGroupList : public QScrollArea
{
    Q_OBJECT

public:
    using DuplicateGroup = DuplicateFinderService::DuplicateGroup;

    static constexpr int padding = 24;
    static constexpr int spacing = 16;

    explicit DuplicateGroupList(MemberThumbnails& thumbnails, QWidget* parent = nullptr);

    // Shows the groups of a new result; every card starts with nothing marked.
    void setGroups(const QList<DuplicateGroup>& groups);
    const QList<DuplicateGroup>& groups() const { return m_groups; }

    // The cards that exist now, top to bottom.
    QList<DuplicateGroupRow*> builtRows() const;
    // Scrolls card `index` into view and returns it.
    DuplicateGroupRow* showRow(int index);
    int rowHeight() const { return m_rowHeight; }

signals:
    void deleteRequested(const QList<QUuid>& ids);
    void previewRequested(const DuplicateGroup& group);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutRows();
    DuplicateGroupRow* buildRow(int index);
    int rowTop(int index) const { return padding + index * (m_rowHeight + spacing); }

    MemberThumbnails& m_thumbnails;
    QWidget* m_canvas;
    QList<DuplicateGroup> m_groups;
    QHash<int, DuplicateGroupRow*> m_rows;
    QHash<QUuid, QSet<QUuid>> m_marks; // by group id
    int m_rowHeight = 0;
};
