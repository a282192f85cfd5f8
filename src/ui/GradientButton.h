#pragma once

#include <QAbstractButton>

// The brand's call-to-action: white title (and optional symbol) on the primary
// gradient, shrinking slightly while pressed. Clicks come out as clicked().
class GradientButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName)
    Q_PROPERTY(qreal pressScale READ pressScale WRITE setPressScale)

public:
    static constexpr qreal pressedScale = 0.95;

    explicit GradientButton(const QString& title, const QString& symbolName = QString(), QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    qreal pressScale() const { return m_pressScale; }
    void setPressScale(qreal scale);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void animatePress(bool pressed);
    int symbolSize() const;

    QString m_symbolName;
    qreal m_pressScale = 1.0;
};
