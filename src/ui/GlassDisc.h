#pragma once

#include <QBrush>
#include <QWidget>

// A round glass badge holding a symbol: a circle filled with glassFill and
// outlined with glassBorder, the symbol in its middle (the tool screens'
// title icons).
class GlassDisc : public QWidget
{
    Q_OBJECT

public:
    GlassDisc(const QString& symbol, const QBrush& brush, int symbolSize, int diameter = 64, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
