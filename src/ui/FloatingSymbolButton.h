#pragma once

#include <QAbstractButton>
#include <QColor>

// A round frosted button with one symbol, floating over pictures and videos,
// that comes and goes by growing from and shrinking to its centre while it
// fades. Its size is the symbol's plus the padding on every side; the shadow
// around it lies inside the widget's margin.
class FloatingSymbolButton : public QAbstractButton
{
    Q_OBJECT
    // 0 gone, 1 fully there; scale and opacity both follow it.
    Q_PROPERTY(qreal appearance READ appearance WRITE setAppearance)
    Q_PROPERTY(QString symbolName READ symbolName)

public:
    FloatingSymbolButton(const QString& symbolName, int symbolSize, int padding, QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    void setSymbolName(const QString& name);

    // Animates in or out over `durationMs` (at once with motion off); a
    // button on its way out takes no clicks.
    void setShown(bool shown, int durationMs);
    bool isShown() const { return m_shown; }
    qreal appearance() const { return m_appearance; }
    void setAppearance(qreal appearance);

    int diameter() const { return m_symbolSize + 2 * m_padding; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QRectF discRect() const;

    QString m_symbolName;
    int m_symbolSize;
    int m_padding;
    bool m_shown = true;
    qreal m_appearance = 1.0;
};
