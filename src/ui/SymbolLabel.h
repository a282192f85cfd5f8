#pragma once

#include <QColor>
#include <QWidget>

// One tinted symbol, the counterpart of a text label. The symbol's name stays
// readable as the "symbolName" property.
class SymbolLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName WRITE setSymbolName)
    Q_PROPERTY(QColor color READ color WRITE setColor)
    Q_PROPERTY(int symbolSize READ symbolSize WRITE setSymbolSize)

public:
    explicit SymbolLabel(const QString& symbolName, int symbolSize = 16, const QColor& color = Qt::white,
                         QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    void setSymbolName(const QString& name);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    int symbolSize() const { return m_symbolSize; }
    void setSymbolSize(int size);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbolName;
    QColor m_color;
    int m_symbolSize;
};
