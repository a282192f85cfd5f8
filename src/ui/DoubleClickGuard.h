#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QMouseEvent;

// Qt makes the second of two quick presses at one spot a double click,
// whichever widgets the two presses hit. The first press may well open or
// close an overlay, and the second then lands on whatever lies there now: a
// card beneath a preview that just closed, a button of a preview that just
// opened. A guard watches the parts of a screen (a grid, an overlay) and
// drops a double click in one of them whose first press was not in the same
// part, with its release, so that it neither clicks a button nor counts as a
// click of its own. A double click with both presses in one part reaches it
// as usual; one outside every part is left alone.
class DoubleClickGuard : public QObject
{
    Q_OBJECT

public:
    // The part `widget` belongs to, or nullptr for none; asked when a press
    // arrives, so parts may come and go.
    using PartOf = std::function<QWidget*(const QWidget* widget)>;
    // Told of each double click dropped: the part it hit, and the part that
    // took its first press (nullptr for none).
    using StrayHandler = std::function<void(QWidget* part, QWidget* firstPart)>;

    // Lives as long as `owner`.
    DoubleClickGuard(QObject& owner, PartOf partOf, StrayHandler onStray = {});

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void notePress(QWidget* receiver, const QMouseEvent& press);

    PartOf m_partOf;
    StrayHandler m_onStray;
    // The widget the latest press went to first (a press travels up to the
    // parents that do not take it; only its first stop counts), and its part.
    QPointer<QWidget> m_firstPressed;
    QPointer<QWidget> m_firstPart;
    quint64 m_pressTimestamp = 0;
    // A dropped double click's release is dropped too.
    QPointer<QWidget> m_droppingReleaseIn;
};
