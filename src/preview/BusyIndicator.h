#pragma once

#include <QColor>
#include <QWidget>

// An indeterminate spinner: a quarter arc turning over a faint ring.
class BusyIndicator : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal angle READ angle WRITE setAngle)

public:
    explicit BusyIndicator(int diameter, QWidget* parent = nullptr);

    qreal angle() const { return m_angle; }
    void setAngle(qreal angle);
    QSize sizeHint() const override { return QSize(m_diameter, m_diameter); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_diameter;
    qreal m_angle = 0;
};
