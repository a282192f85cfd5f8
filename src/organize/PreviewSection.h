#pragma once

#include "organize/OrganizeService.h"

#include <QWidget>

class PreviewStateCard;
class ReOrganizerViewModel;

// Once there is a plan: the folder as it is and the layout it will get under
// the current switches (the example folders are today's year and month).
class PreviewSection : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewSection(ReOrganizerViewModel& viewModel, QWidget* parent = nullptr);

    PreviewStateCard* currentCard() const { return m_current; }
    PreviewStateCard* afterCard() const { return m_after; }

    static QStringList currentItems(const OrganizeService::OrganizationPlan& plan,
                                    const OrganizeService::OrganizationOptions& options);
    static QStringList afterItems(const OrganizeService::OrganizationPlan& plan,
                                  const OrganizeService::OrganizationOptions& options, const QDate& today);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    ReOrganizerViewModel& m_viewModel;
    PreviewStateCard* m_current;
    PreviewStateCard* m_after;
};
