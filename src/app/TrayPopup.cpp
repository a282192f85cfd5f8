#include "app/TrayPopup.h"

#include "ui/PremiumTheme.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace {
int clampInto(int start, int length, int areaStart, int areaLength)
{
    // A popup larger than the area keeps its start at the area's start.
    return std::max(areaStart, std::min(start, areaStart + areaLength - length));
}

QRect availableGeometryAt(const QPoint& point)
{
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}
} // namespace

TrayPopup::TrayPopup(QWidget* content, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint)
    , m_content(content)
{
    setObjectName(QStringLiteral("trayPopup"));
    setFixedSize(popupSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(m_content);
}

void TrayPopup::showNear(const QRect& anchor)
{
    m_anchor = anchor;
    const QPoint cursor = QCursor::pos();
    const QRect available = availableGeometryAt(anchor.isValid() ? anchor.center() : cursor);
    move(placement(anchor, cursor, available, size()));
    show();
    raise();
    activateWindow();
}

QPoint TrayPopup::placement(const QRect& anchor, const QPoint& cursor, const QRect& available, const QSize& size)
{
    QPoint corner;
    if (anchor.isValid()) {
        corner.setX(anchor.center().x() - size.width() / 2);
        const bool iconInUpperHalf = anchor.center().y() < available.center().y();
        corner.setY(iconInUpperHalf ? anchor.bottom() + 1 + anchorGap : anchor.top() - anchorGap - size.height());
    } else {
        // Like a context menu: down and right of the pointer, flipped where
        // it would leave the screen.
        corner = cursor;
        if (cursor.x() + size.width() > available.right() + 1)
            corner.setX(cursor.x() - size.width());
        if (cursor.y() + size.height() > available.bottom() + 1)
            corner.setY(cursor.y() - size.height());
    }
    if (!available.isValid())
        return corner;
    return {clampInto(corner.x(), size.width(), available.x(), available.width()),
            clampInto(corner.y(), size.height(), available.y(), available.height())};
}

void TrayPopup::mousePressEvent(QMouseEvent* event)
{
    // A click on the tray icon while the popup is open only closes it: handed
    // on to the icon, it would open the popup again at once.
    if (!rect().contains(event->position().toPoint()) && m_anchor.contains(event->globalPosition().toPoint()))
        setAttribute(Qt::WA_NoMouseReplay);
    QWidget::mousePressEvent(event);
}

void TrayPopup::paintEvent(QPaintEvent*)
{
    // Square corners: without a compositing window manager rounded ones
    // would show black behind them.
    QPainter painter(this);
    painter.fillRect(rect(), PremiumTheme::surface());
    painter.setPen(PremiumTheme::glassBorder());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
