#pragma once

#include <QWidget>

// A thin progress bar: a faint track with a glowing gradient fill whose width
// springs to each new value.
class GlowProgressBar : public QWidget
{
    Q_OBJECT
    // The fraction the fill shows at the moment (follows value() with a spring).
    Q_PROPERTY(qreal displayedValue READ displayedValue WRITE setDisplayedValue)

public:
    static constexpr int barHeight = 8;
    static constexpr int glowMargin = 6;

    explicit GlowProgressBar(QWidget* parent = nullptr);

    // A fraction of the width; anything not finite or outside 0..1 is clamped.
    void setValue(double value);
    double value() const { return m_value; }
    qreal displayedValue() const { return m_displayedValue; }
    void setDisplayedValue(qreal value);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_value = 0;
    qreal m_displayedValue = 0;
};
