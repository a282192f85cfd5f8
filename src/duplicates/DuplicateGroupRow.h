#pragma once

#include "duplicates/DuplicateFinderService.h"
#include "ui/RoundedPanel.h"

#include <QList>
#include <QSet>
#include <QUuid>

#include <functional>

class DuplicateThumbnailCard;
class MemberThumbnails;
class PlainButton;

// The card of one duplicate group: how many identical files and how much
// keeping one would save, the strip of members, and the buttons that mark
// all but the newest or the oldest and delete the marked ones.
class DuplicateGroupRow : public RoundedPanel
{
    Q_OBJECT

public:
    using DuplicateGroup = DuplicateFinderService::DuplicateGroup;

    DuplicateGroupRow(const DuplicateGroup& group, MemberThumbnails& thumbnails,
                      const QSet<QUuid>& selectedForDeletion = {}, QWidget* parent = nullptr);

    const DuplicateGroup& group() const { return m_group; }
    const QSet<QUuid>& selectedForDeletion() const { return m_selected; }

    // Marks every member but `kept` (replacing any earlier marks).
    void selectAllExcept(const Screenshot& kept);
    // Hands the marked ids out through deleteRequested() and clears the marks.
    void deleteSelected();

    QList<DuplicateThumbnailCard*> cards() const { return m_cards; }
    PlainButton* keepNewestButton() const { return m_keepNewest; }
    PlainButton* keepOldestButton() const { return m_keepOldest; }
    PlainButton* deleteButton() const { return m_delete; }

signals:
    void deleteRequested(const QList<QUuid>& ids);
    void previewRequested(const DuplicateGroup& group);
    void selectionChanged(const QSet<QUuid>& selected);

private:
    QWidget* makeHeading() const;
    QWidget* makeMemberStrip(MemberThumbnails& thumbnails);
    QLayout* makeActionBar();
    void setSelected(QSet<QUuid> selected);

    DuplicateGroup m_group;
    QSet<QUuid> m_selected;
    QList<DuplicateThumbnailCard*> m_cards;
    PlainButton* m_keepNewest = nullptr;
    PlainButton* m_keepOldest = nullptr;
    PlainButton* m_delete = nullptr;
};
