#pragma once

#include <QWidget>

// The desktop's thin determinate progress bar: a faint rounded track filled
// from the left in the accent colour by value ÷ total. A total of 0 or less
// (or anything not finite) shows an empty track.
class LinearProgressBar : public QWidget
{
    Q_OBJECT

public:
    static constexpr int barHeight = 6;

    explicit LinearProgressBar(QWidget* parent = nullptr);

    void setProgress(double value, double total);
    double fraction() const { return m_fraction; }

    QSize sizeHint() const override { return QSize(160, barHeight); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_fraction = 0;
};
