#pragma once

#include <QWidget>

// Black at opacity 0.7 over everything behind a full-window overlay. It takes
// all the room it is given and keeps pointer events from reaching the
// widgets underneath.
class DimmedBackdrop : public QWidget
{
    Q_OBJECT

public:
    static constexpr qreal opacity = 0.7;

    explicit DimmedBackdrop(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};
