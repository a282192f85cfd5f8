#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// The interface's symbols, asked for by name ("photo.stack", "xmark.circle.fill")
// and drawn from Lucide outline icons compiled into the application; the
// ".fill" names are drawn solid (FilledSymbol). Icons are tinted when
// painted, so one file serves every colour.
//
// An unknown name draws nothing, logs a warning and is remembered in
// unknownRequests(), which the app tests check after every run. Painting
// happens on the GUI thread.
class SymbolRegistry
{
public:
    SymbolRegistry() = delete;

    static bool contains(const QString& name);
    static QStringList names();

    // The symbol fitted into rect (keeping its square shape), in colour.
    static void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color);
    static QPixmap pixmap(const QString& name, int logicalSize, const QColor& color, qreal devicePixelRatio = 1.0);
    static QIcon icon(const QString& name, const QColor& color);

    static QStringList unknownRequests();
    static void clearUnknownRequests();
};
