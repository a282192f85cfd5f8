#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <optional>

class QVBoxLayout;

// A frosted-glass panel around one content widget: a translucent fill, a
// diagonal highlight and a gradient rim. With the effect on, the glass tilts
// towards the pointer in perspective while the content shifts against the
// tilt, and the highlight brightens; with it off the card ignores the pointer.
class PremiumGlassCard : public QWidget
{
    Q_OBJECT
    // Tilt in degrees about the horizontal (x) and vertical (y) axis.
    Q_PROPERTY(QPointF rotation READ rotation WRITE setRotation)

public:
    PremiumGlassCard(qreal cornerRadius, qreal padding, bool enableEffect, QWidget* parent = nullptr);

    // Takes ownership; replaces (and deletes) an earlier content widget.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    qreal cornerRadius() const { return m_cornerRadius; }
    qreal padding() const { return m_padding; }
    bool isEffectEnabled() const { return m_enableEffect; }
    bool isHovering() const { return m_isHovering; }
    QPointF rotation() const { return m_rotation; }
    void setRotation(const QPointF& rotation);
    // Where the content sits relative to its resting place, in points.
    QPointF contentOffset() const;
    qreal highlightOpacity() const { return m_isHovering ? 1.0 : 0.3; }

    // The pointer at `location` (card coordinates), or gone (nullopt).
    void handleHover(std::optional<QPointF> location);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void updateContentMargins();
    void paintGlass(QPainter& painter) const;

    qreal m_cornerRadius;
    qreal m_padding;
    bool m_enableEffect;
    bool m_isHovering = false;
    QPointF m_rotation;
    QVBoxLayout* m_layout;
    QPointer<QWidget> m_content;
};
