#pragma once

#include "ui/GlassCard.h"

#include <QHash>
#include <QUuid>

class HistoryCard;
class PlainButton;
class QLabel;
class ReOrganizerViewModel;
class StyledSymbol;

// The past runs, newest first, under a heading that folds the list away, with
// the button that forgets them all. Cards are kept for runs that stay listed.
class HistoryTimelineSection : public GlassCard
{
    Q_OBJECT
    // How much of the list shows while it folds or unfolds (0 to 1, with the
    // spring's overshoot).
    Q_PROPERTY(qreal revealed READ revealed WRITE setRevealed)

public:
    explicit HistoryTimelineSection(ReOrganizerViewModel& viewModel, QWidget* parent = nullptr);

    bool isExpanded() const { return m_isExpanded; }
    // Unfolds or folds the list on the standard spring (at once while hidden
    // or with motion off).
    void setExpanded(bool expanded);
    qreal revealed() const { return m_revealed; }
    void setRevealed(qreal revealed);
    QList<HistoryCard*> cards() const;
    PlainButton* headingButton() const { return m_heading; }
    PlainButton* clearButton() const { return m_clear; }

private:
    void refresh();
    void syncCards();

    ReOrganizerViewModel& m_viewModel;
    bool m_isExpanded = true;
    qreal m_revealed = 1;
    PlainButton* m_heading;
    QLabel* m_count;
    StyledSymbol* m_chevron;
    PlainButton* m_clear;
    QWidget* m_list;
    QHash<QUuid, HistoryCard*> m_cards;
};
