#pragma once

#include <QColor>
#include <QGraphicsEffect>

// A soft light behind a widget: a circle of the given diameter centred on the
// widget, blurred by the given radius. The light spills beyond the widget's
// bounds without taking room in its layout.
class GlowEffect : public QGraphicsEffect
{
    Q_OBJECT

public:
    GlowEffect(const QColor& color, qreal diameter, qreal blurRadius, QObject* parent = nullptr);

    QRectF boundingRectFor(const QRectF& sourceRect) const override;

protected:
    void draw(QPainter* painter) override;

private:
    qreal reach() const;

    QColor m_color;
    qreal m_diameter;
    qreal m_blurRadius;
};
