#pragma once

#include <QBrush>
#include <QColor>
#include <QWidget>

class StyledSymbol;

// A circular progress display: a faint full circle, an arc over it that
// starts at the top and grows clockwise with the fraction done, and a symbol
// in the middle. The arc's brush spans the ring's square turned a quarter
// anticlockwise with it, as the arc is drawn from the right and turned.
class ProgressRing : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal fraction READ fraction WRITE setFraction)

public:
    static constexpr int diameter = 100;
    static constexpr qreal lineWidth = 4;

    struct Style
    {
        QColor track;
        QBrush arc;
        QString symbolName;
        QBrush symbol;
        int symbolSize = 40;
    };

    explicit ProgressRing(const Style& style, QWidget* parent = nullptr);

    // Clamped to 0..1; anything not finite counts as 0.
    void setFraction(qreal fraction);
    qreal fraction() const { return m_fraction; }
    StyledSymbol* symbol() const { return m_symbol; }

    QSize sizeHint() const override { return QSize(diameter, diameter); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Style m_style;
    qreal m_fraction = 0;
    StyledSymbol* m_symbol;
};
