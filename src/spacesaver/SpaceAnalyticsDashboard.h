#pragma once

#include "ui/GlassCard.h"

class QLabel;
class QWidget;
class SavingsGauge;
class SpaceSaverViewModel;
class SpaceStatCard;

// The analytics card: the savings gauge around the library's total size, what
// could be saved in bytes and as a share, and three small figures (files,
// compressible files, the CO₂ they would spare).
class SpaceAnalyticsDashboard : public GlassCard
{
    Q_OBJECT

public:
    explicit SpaceAnalyticsDashboard(SpaceSaverViewModel& viewModel, QWidget* parent = nullptr);

    SavingsGauge* gauge() const { return m_gauge; }
    QString savingsText() const;
    QString percentText() const;
    const QList<SpaceStatCard*>& cards() const { return m_cards; }
    bool isSpinning() const;

private:
    void refresh();

    SpaceSaverViewModel& m_viewModel;
    QWidget* m_spinner;
    SavingsGauge* m_gauge;
    QLabel* m_savings;
    QLabel* m_percent;
    QList<SpaceStatCard*> m_cards;
};
