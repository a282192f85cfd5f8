#pragma once

#include <QColor>
#include <QWidget>

// A translucent backdrop panel in one of the desktop's material looks. Qt
// widgets cannot blur what lies behind them, so each material is a tinted
// translucent fill chosen to read the same over the dark interface.
class BlurView : public QWidget
{
    Q_OBJECT

public:
    enum class Material { sidebar, hudWindow, popover, thin, ultraThin };
    Q_ENUM(Material)

    explicit BlurView(Material material, QWidget* parent = nullptr);

    Material material() const { return m_material; }
    // Rounds the panel's corners (0: square), for panels clipped to a shape.
    void setCornerRadius(qreal radius);
    qreal cornerRadius() const { return m_cornerRadius; }

    static QColor fillColor(Material material);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Material m_material;
    qreal m_cornerRadius = 0;
};
