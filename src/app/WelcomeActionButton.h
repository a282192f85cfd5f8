#pragma once

#include <QAbstractButton>

// The welcome screen's call to action: symbol and title on an accent-coloured
// rounded plate that brightens and grows a little under the pointer.
class WelcomeActionButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName)
    // 0 resting, 1 fully hovered; springs between the two.
    Q_PROPERTY(qreal hoverProgress READ hoverProgress WRITE setHoverProgress)

public:
    static constexpr qreal hoveredScale = 1.05;

    WelcomeActionButton(const QString& title, const QString& symbolName, QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    bool isHovering() const { return m_isHovering; }
    void setHovering(bool hovering);
    qreal hoverProgress() const { return m_hoverProgress; }
    void setHoverProgress(qreal progress);
    qreal fillOpacity() const;
    qreal scale() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    QSize plateSize() const;
    QRectF plateRect() const;

    QString m_symbolName;
    bool m_isHovering = false;
    qreal m_hoverProgress = 0;
};
