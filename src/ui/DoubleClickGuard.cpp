#include "ui/DoubleClickGuard.h"

#include <QCoreApplication>
#include <QMouseEvent>

DoubleClickGuard::DoubleClickGuard(QObject& owner, PartOf partOf, StrayHandler onStray)
    : QObject(&owner)
    , m_partOf(std::move(partOf))
    , m_onStray(std::move(onStray))
{
    // Only the application sees which widget each press of a pair went to.
    QCoreApplication::instance()->installEventFilter(this);
}

void DoubleClickGuard::notePress(QWidget* receiver, const QMouseEvent& press)
{
    // The same press passed on to a parent, the first receiver having left it.
    if (press.timestamp() == m_pressTimestamp && m_firstPressed && receiver->isAncestorOf(m_firstPressed))
        return;
    m_firstPressed = receiver;
    m_firstPart = m_partOf(receiver);
    m_pressTimestamp = press.timestamp();
}

bool DoubleClickGuard::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease)
        return false;
    auto* receiver = qobject_cast<QWidget*>(watched);
    if (!receiver)
        return false; // the window's own copy, before a widget has it
    const auto& mouse = static_cast<const QMouseEvent&>(*event);
    if (type == QEvent::MouseButtonRelease) {
        if (!m_droppingReleaseIn || m_partOf(receiver) != m_droppingReleaseIn)
            return false;
        m_droppingReleaseIn = nullptr;
        return true;
    }
    m_droppingReleaseIn = nullptr;
    const QPointer<QWidget> firstPart = m_firstPart;
    notePress(receiver, mouse);
    if (type == QEvent::MouseButtonPress)
        return false;
    QWidget* part = m_partOf(receiver);
    if (!part || part == firstPart)
        return false;
    m_droppingReleaseIn = part;
    if (m_onStray)
        m_onStray(part, firstPart); // may end the part, or this guard with it
    return true;
}
