#pragma once

#include <QEasingCurve>
#include <QPixmap>
#include <QWidget>

// A picture of the screen that was just replaced, laid over its successor and
// faded out: the two screens cross-fade without both being live at once.
// Deletes itself when the fade ends.
class CrossFadeOverlay : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal opacity READ opacity WRITE setOpacity)

public:
    // Covers `parent` with `picture` and starts fading it out.
    static void fadeOut(QWidget* parent, const QPixmap& picture, const QEasingCurve& curve, int durationMs);
    // Ends the fades still under way over `parent` at once: a screen that
    // replaces another without a fade must not show an older one's ghost.
    static void endAll(QWidget& parent);

    qreal opacity() const { return m_opacity; }
    void setOpacity(qreal opacity);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CrossFadeOverlay(QWidget* parent, const QPixmap& picture);

    QPixmap m_picture;
    qreal m_opacity = 1.0;
};
