#pragma once

#include <QString>
#include <QWidget>

// The application's symbol as the welcome screen shows it: a large symbol
// painted with a white-to-translucent gradient and a soft white glow, which
// grows and fades in as the screen enters.
class AppSymbolView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName)

public:
    AppSymbolView(const QString& symbolName, int symbolSize, QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    // 0: small (80 %) and invisible; 1: full size and opaque.
    void setAppearance(qreal appearance);
    qreal appearance() const { return m_appearance; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QPixmap& gradientSymbol();

    QString m_symbolName;
    int m_symbolSize;
    qreal m_appearance = 1.0;
    QPixmap m_symbol; // drawn once per pixel ratio
};
