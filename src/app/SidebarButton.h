#pragma once

#include <QAbstractButton>
#include <QString>

// One destination row of the main view's sidebar: symbol, title and, when
// selected, a glowing dot, on a glass background. A row under the pointer
// that is not selected gets a faint background; every row under the pointer
// grows slightly, on the standard spring. Clicks come out as clicked().
class SidebarButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ icon)
    Q_PROPERTY(qreal hoverScale READ hoverScale WRITE setHoverScale)

public:
    enum class Background { none, faint, selected };

    static constexpr qreal hoveredScale = 1.02;
    static constexpr int outerInset = 10;

    SidebarButton(const QString& title, const QString& icon, QWidget* parent = nullptr);

    QString title() const { return text(); }
    QString icon() const { return m_icon; }
    bool isSelected() const { return m_isSelected; }
    void setSelected(bool selected);
    bool isHovered() const { return m_isHovered; }
    // The pointer entered (true) or left (false).
    void setHovered(bool hovered);

    Background background() const;
    qreal hoverScale() const { return m_hoverScale; }
    void setHoverScale(qreal scale);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void paintBackground(QPainter& painter, const QRectF& rect) const;
    void paintLabel(QPainter& painter, const QRectF& rect) const;

    QString m_icon;
    bool m_isSelected = false;
    bool m_isHovered = false;
    qreal m_hoverScale = 1.0;
};
