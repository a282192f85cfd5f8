#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

// The indeterminate progress indicator: twelve spokes, the brightest one
// going round, at the platform's regular size scaled by `scale` about its
// centre. It turns only while it is visible.
class ActivitySpinner : public QWidget
{
    Q_OBJECT

public:
    static constexpr int regularDiameter = 24;

    explicit ActivitySpinner(qreal scale = 1.0, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    int diameter() const;
    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override { return QSize(diameter(), diameter()); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    qreal m_scale;
    QColor m_color = Qt::white;
    int m_step = 0;
    QTimer m_timer;
};
