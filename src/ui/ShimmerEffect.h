#pragma once

#include <QGraphicsEffect>

class QWidget;

// A sheen that sweeps across a widget from left to right every 1.5 seconds,
// visible only where the widget itself draws (text, icons, fills).
class ShimmerEffect : public QGraphicsEffect
{
    Q_OBJECT
    // How far, in points, the sheen has moved from its start.
    Q_PROPERTY(qreal phase READ phase WRITE setPhase)

public:
    static constexpr qreal sweepDistance = 300;
    static constexpr int sweepMs = 1500;

    explicit ShimmerEffect(QObject* parent = nullptr);

    // Gives the widget the effect (it takes ownership) and starts the sweep.
    static ShimmerEffect* apply(QWidget* widget);

    qreal phase() const { return m_phase; }
    void setPhase(qreal phase);
    // Starts the endless sweep; with motion off the sheen rests at its start.
    void startSweep();

protected:
    void draw(QPainter* painter) override;

private:
    qreal m_phase = 0;
};
