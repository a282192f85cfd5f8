#pragma once

#include "core/SmartCollection.h"
#include "gallery/TileSections.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>
#include <QTest>

#include <optional>

// Collections and pointer moves for the collection and quick-link screens.
namespace CollectionScreensSupport {

inline SmartCollection collection(const QString& name, CollectionType type = CollectionType::folder,
                                  std::optional<SystemColor> color = std::nullopt, qint64 itemCount = 0)
{
    SmartCollection c;
    c.id = QUuid::createUuid();
    c.name = name;
    c.type = type;
    c.icon = type == CollectionType::link ? QStringLiteral("link") : QStringLiteral("folder.fill");
    c.color = color;
    c.itemCount = itemCount;
    c.predicate = [](const Screenshot&) { return true; };
    return c;
}

// `count` domains "site0.com", "site1.com", ... with falling counts.
inline QList<SmartCollection> domains(int count)
{
    QList<SmartCollection> result;
    for (int i = 0; i < count; ++i)
        result.append(
            collection(QStringLiteral("site%1.com").arg(i), CollectionType::link, SystemColor::indigo, count - i));
    return result;
}

inline QStringList names(const QList<SmartCollection>& collections)
{
    QStringList result;
    for (const SmartCollection& c : collections)
        result.append(c.name);
    return result;
}

inline QStringList titles(const TileSections& tiles)
{
    QStringList result;
    for (const TileSections::Section& section : tiles.sections())
        result.append(section.title);
    return result;
}

inline void hover(TileSections* tiles, const QPoint& at)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(at), tiles->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(tiles, &move);
}

inline void leave(TileSections* tiles)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(tiles, &event);
}

inline void click(TileSections* tiles, const QPoint& at)
{
    QTest::mouseClick(tiles, Qt::LeftButton, {}, at);
}

// What `paint` draws into a black image of `size`.
template <typename Paint>
QImage rendered(const QSize& size, Paint&& paint)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    painter.end();
    return image;
}

// What the widget itself paints, on a transparent image (no window backdrop).
inline QImage painted(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Whether anything bright (text, not the faint fills) was drawn inside `area`.
inline bool hasInk(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (QColor(image.pixel(x, y)).value() > 80)
                return true;
    return false;
}

} // namespace CollectionScreensSupport
