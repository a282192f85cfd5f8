#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

// The small window that opens from the tray icon: a fixed-size popup that
// closes when the user clicks anywhere outside it or presses Escape.
class TrayPopup : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize popupSize{450, 500};
    // Room between the icon and the popup.
    static constexpr int anchorGap = 4;

    // Takes ownership of `content`, which fills the popup.
    explicit TrayPopup(QWidget* content, QWidget* parent = nullptr);

    QWidget* content() const { return m_content; }

    // Opens beside the tray icon at `anchor` (screen coordinates), or at the
    // mouse pointer when the tray does not say where its icon is.
    void showNear(const QRect& anchor);

    // Top-left corner for a popup of `size`: centred under the icon when the
    // icon sits in the upper half of `available`, above it otherwise; at
    // `cursor` (opening down and right where it fits) without an icon.
    // Always inside `available` when the popup fits there at all.
    static QPoint placement(const QRect& anchor, const QPoint& cursor, const QRect& available, const QSize& size);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_content;
    QRect m_anchor;
};
