#include "ui/SymbolRegistry.h"

#include "core/Logger.h"
#include "ui/FilledSymbol.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

// The generated resource lives in a static library; referencing its
// initialiser keeps the linker from dropping it.
static void initSymbolResource()
{
    Q_INIT_RESOURCE(symbols);
}

namespace {
QString resourcePath(const QString& name)
{
    return u":/symbols/"_s + name + u".svg"_s;
}

// A symbol's art: one drawing, or for a solid symbol the drawing whose
// cut layer goes over it with exclusive-or.
struct Art
{
    std::shared_ptr<QSvgRenderer> base;
    std::shared_ptr<QSvgRenderer> cut;

    void render(QImage& image) const
    {
        const QRectF area(QPointF(0, 0), image.size());
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        base->render(&painter, area);
        if (!cut)
            return;
        QImage layer(image.size(), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        {
            QPainter cutPainter(&layer);
            cutPainter.setRenderHint(QPainter::Antialiasing);
            cut->render(&cutPainter, area);
        }
        painter.setCompositionMode(QPainter::CompositionMode_Xor);
        painter.drawImage(0, 0, layer);
    }
};

struct RegistryState
{
    QMutex mutex;
    QHash<QString, Art> art;
    QStringList unknown;
};

RegistryState& state()
{
    static RegistryState* registry = [] {
        initSymbolResource();
        return new RegistryState;
    }();
    return *registry;
}

// Lucide strokes with currentColor; white art is tinted afterwards.
std::shared_ptr<QSvgRenderer> rendererOf(QByteArray svg)
{
    svg.replace("currentColor", "#ffffff");
    auto renderer = std::make_shared<QSvgRenderer>(svg);
    return renderer->isValid() ? renderer : nullptr;
}

std::optional<Art> loadArt(const QString& name)
{
    QFile file(resourcePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray svg = file.readAll();
    Art art;
    if (const auto layers = FilledSymbol::layersOf(svg)) {
        art.base = rendererOf(layers->solid);
        art.cut = rendererOf(layers->cut);
    } else {
        art.base = rendererOf(svg);
    }
    return art.base ? std::optional(art) : std::nullopt;
}

std::optional<Art> artOf(const QString& name)
{
    RegistryState& registry = state();
    QMutexLocker lock(&registry.mutex);
    if (const auto found = registry.art.constFind(name); found != registry.art.constEnd())
        return found.value();
    if (auto loaded = loadArt(name)) {
        registry.art.insert(name, *loaded);
        return loaded;
    }
    if (!registry.unknown.contains(name)) {
        registry.unknown.append(name);
        Logger::log(LogLevel::warning, u"General"_s, u"Unknown symbol"_s, {{u"name"_s, name}});
    }
    return std::nullopt;
}
} // namespace

bool SymbolRegistry::contains(const QString& name)
{
    state();
    return !name.isEmpty() && QFile::exists(resourcePath(name));
}

QStringList SymbolRegistry::names()
{
    state();
    QStringList result;
    const QStringList files = QDir(u":/symbols"_s).entryList(QDir::Files, QDir::Name);
    for (const QString& file : files)
        result.append(file.chopped(4));
    result.sort();
    return result;
}

QPixmap SymbolRegistry::pixmap(const QString& name, int logicalSize, const QColor& color, qreal devicePixelRatio)
{
    const QString cacheKey =
        u"symbol:%1:%2:%3:%4"_s.arg(name).arg(logicalSize).arg(color.rgba(), 8, 16, QChar(u'0')).arg(devicePixelRatio);
    if (QPixmap cached; QPixmapCache::find(cacheKey, &cached))
        return cached;
    const int side = qMax(1, qRound(logicalSize * devicePixelRatio));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (const auto art = artOf(name)) {
        art->render(image);
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), color);
    }
    QPixmap result = QPixmap::fromImage(std::move(image));
    result.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(cacheKey, result);
    return result;
}

void SymbolRegistry::paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color)
{
    const qreal side = qMin(rect.width(), rect.height());
    if (side <= 0)
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRectF square(rect.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    const QPixmap art = pixmap(name, qCeil(side), color, dpr);
    painter.drawPixmap(square, art, QRectF(art.rect()));
}

QIcon SymbolRegistry::icon(const QString& name, const QColor& color)
{
    QIcon result;
    for (const int size : {16, 24, 32, 48, 64})
        result.addPixmap(pixmap(name, size, color));
    return result;
}

QStringList SymbolRegistry::unknownRequests()
{
    RegistryState& registry = state();
    QMutexLocker lock(&registry.mutex);
    return registry.unknown;
}

void SymbolRegistry::clearUnknownRequests()
{
    RegistryState& registry = state();
    QMutexLocker lock(&registry.mutex);
    registry.unknown.clear();
}
