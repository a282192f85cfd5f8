#pragma once

#include "ui/ConfettiParticle.h"

#include <QList>
#include <QTimer>
#include <QWidget>

class QRandomGenerator;

// A burst of 50 falling, drifting, fading pieces of confetti, started each
// time the view is shown. The physics runs at 50 ticks a second and stops as
// soon as no piece is left or the view is hidden. Transparent for the mouse,
// so it can lie over interactive content.
class ConfettiView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int burstSize = 50;
    static constexpr int tickIntervalMs = 20;
    static constexpr double fadeLine = 600;
    static constexpr double removalLine = 1000;

    explicit ConfettiView(QWidget* parent = nullptr);

    // Draws from `generator` instead of the system's random source (tests
    // seed one). The generator must outlive the view.
    void setRandomGenerator(QRandomGenerator* generator);

    const QList<ConfettiParticle>& particles() const { return m_particles; }
    bool isRunning() const { return m_timer.isActive(); }

    // Adds a burst to whatever is still falling and starts the ticks.
    void start();
    // One step of the physics; stops the ticks when the last piece is gone.
    void tick();
    // The physics of one tick: every piece moves, falls faster, drifts
    // sideways and, below the fade line, fades; pieces past the removal line
    // or fully faded are removed in the same tick.
    static void advance(QList<ConfettiParticle>& particles, QRandomGenerator& generator);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QList<ConfettiParticle> m_particles;
    QTimer m_timer;
    QRandomGenerator* m_generator;
};
