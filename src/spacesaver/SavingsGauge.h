#pragma once

#include <QWidget>

class QLabel;

// The analytics card's ring: a wide track and, over it, an arc from the top
// growing clockwise with the possible savings, which springs to each new
// value; the library's total size in the middle.
class SavingsGauge : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal fraction READ fraction WRITE setFraction)

public:
    static constexpr int diameter = 180;
    static constexpr qreal lineWidth = 20;

    explicit SavingsGauge(QWidget* parent = nullptr);

    // Springs the arc to `fraction` (0 to 1).
    void showFraction(qreal fraction);
    qreal fraction() const { return m_fraction; }
    // The arc has come to the last value shown.
    bool isAtRest() const { return m_fraction == m_target; }
    void setFraction(qreal fraction);
    void setTotal(const QString& total);
    QString total() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal m_fraction = 0;
    qreal m_target = 0;
    QLabel* m_total;
};
