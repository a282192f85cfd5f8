#pragma once

#include "organize/OrganizeService.h"

#include <QWidget>

class PlainButton;
class ReOrganizerViewModel;

// One past run: a green marker, its description, how many files it moved
// and how long ago, and the button that undoes it (with every newer run).
class HistoryCard : public QWidget
{
    Q_OBJECT

public:
    HistoryCard(const OrganizeService::HistoryOperation& operation, ReOrganizerViewModel& viewModel,
                QWidget* parent = nullptr);

    const OrganizeService::HistoryOperation& operation() const { return m_operation; }
    PlainButton* undoButton() const { return m_undo; }

    // "Just now" under an hour (also for a time ahead), then whole hours up
    // to 23, then whole days.
    static QString relativeTimeText(const QDateTime& timestamp, const QDateTime& now);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    OrganizeService::HistoryOperation m_operation;
    PlainButton* m_undo;
};
