#pragma once

#include <QColor>
#include <QWidget>

// A symbol that hops now and then, to show that work is going on.
class BouncingSymbol : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName)
    // Where the symbol is within one hop-and-rest cycle, 0..1.
    Q_PROPERTY(qreal phase READ phase WRITE setPhase)

public:
    static constexpr int cycleMs = 1800;
    static constexpr int hopHeight = 10;

    BouncingSymbol(const QString& symbolName, int symbolSize, const QColor& color, QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    qreal phase() const { return m_phase; }
    void setPhase(qreal phase);
    // How far above its resting place the symbol is drawn at `phase`.
    static qreal liftAt(qreal phase);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QString m_symbolName;
    int m_symbolSize;
    QColor m_color;
    qreal m_phase = 0;
    bool m_started = false;
};
