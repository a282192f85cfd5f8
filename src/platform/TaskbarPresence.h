#pragma once

#include <QObject>

class QWidget;

// Whether one top-level window is listed in the desktop's taskbar. On X11 it
// sets the window's _NET_WM_STATE_SKIP_TASKBAR state; elsewhere (Wayland, no
// display) the choice is only kept, since the desktop offers no way to say it.
// Used on the GUI thread; lives as long as the window (its child).
class TaskbarPresence : public QObject
{
    Q_OBJECT

public:
    explicit TaskbarPresence(QWidget& window);

    bool isShownInTaskbar() const { return m_shownInTaskbar; }
    void setShownInTaskbar(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(bool windowIsMapped);

    QWidget& m_window;
    bool m_shownInTaskbar = true;
};
