#include "gallery/TileSections.h"

#include "ui/Motion.h"
#include "ui/TextStyle.h"

#include <QCursor>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

// The animated hover value of one tile; lives while the tile is hovered or
// still settling back.
class TileHover : public QObject
{
    Q_OBJECT
    Q_PROPERTY(qreal progress READ progress WRITE setProgress)

public:
    TileHover(std::function<void()> changed, QObject* parent)
        : QObject(parent)
        , m_changed(std::move(changed))
    {}

    qreal progress() const { return m_progress; }
    void setProgress(qreal progress)
    {
        m_progress = progress;
        m_changed();
    }

private:
    std::function<void()> m_changed;
    qreal m_progress = 0;
};

namespace {
// Room for several screenfuls of kept tiles, in KB.
constexpr int pictureBudgetKB = 48 * 1024;
} // namespace

TileSections::TileSections(TilePainter painter, QWidget* parent)
    : QWidget(parent)
    , m_painter(std::move(painter))
    , m_pictures(pictureBudgetKB)
{
    setMouseTracking(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

TileSections::~TileSections() = default;

TileSections* TileSections::forScreen(TilePainter painter, int sectionSpacing)
{
    auto* tiles = new TileSections(std::move(painter));
    tiles->setHeadingStyle(TextStyle::headline(), QColor::fromRgbF(1, 1, 1, 0.6f));
    tiles->setSectionSpacing(sectionSpacing);
    tiles->setContentsMargins(0, overflowMargin, 0, overflowMargin);
    return tiles;
}

void TileSections::setHeadingStyle(const QFont& font, const QColor& color)
{
    m_headingFont = font;
    m_headingColor = color;
    m_layout = {};
    m_lastHeightForWidth.reset();
    updateGeometry();
    update();
}

void TileSections::setSectionSpacing(int spacing)
{
    m_sectionSpacing = spacing;
    m_layout = {};
    m_lastHeightForWidth.reset();
    updateGeometry();
    update();
}

void TileSections::setSections(QList<Section> sections)
{
    sections.removeIf([](const Section& s) { return s.count <= 0 && s.title.isEmpty(); });
    m_sections = std::move(sections);
    m_layout = {};
    m_lastHeightForWidth.reset();
    // Hover states of tiles that no longer exist would never settle.
    QList<TileHover*> stale;
    for (auto it = m_hoverStates.begin(); it != m_hoverStates.end();) {
        const Tile tile{int(it.key() >> 32), int(it.key() & 0xffffffffu)};
        if (tile.section < m_sections.size() && tile.index < m_sections.at(tile.section).count) {
            ++it;
            continue;
        }
        stale.append(it.value());
        it = m_hoverStates.erase(it);
    }
    qDeleteAll(stale);
    if (m_hovered && !m_hoverStates.contains(key(*m_hovered)))
        m_hovered.reset();
    updateGeometry();
    update();
    followPointer();
}

int TileSections::rowCount(int section) const
{
    const Section& s = m_sections.at(section);
    if (s.count <= 0)
        return 0;
    if (s.heightOf)
        return s.count;
    const int columns = layout().placements.at(section).columns;
    return (s.count + columns - 1) / columns;
}

TileSections::Layout TileSections::computeLayout(int width) const
{
    Layout result;
    result.width = width;
    const QMargins margins = contentsMargins();
    const int headingHeight = QFontMetrics(m_headingFont).height();
    int y = margins.top();
    bool first = true;
    for (const Section& section : m_sections) {
        if (!first)
            y += m_sectionSpacing;
        first = false;
        Placement placement;
        if (!section.title.isEmpty()) {
            placement.headingTop = y;
            y += headingHeight + section.headingGap;
        }
        y += section.insets.top();
        placement.top = y;
        placement.left = margins.left() + section.insets.left();
        const int available =
            std::max(1, width - margins.left() - margins.right() - section.insets.left() - section.insets.right());
        const int spacing = section.columnSpacing;
        if (section.heightOf) {
            placement.columns = 1;
        } else if (section.fixedColumns > 0) {
            placement.columns = section.fixedColumns;
        } else {
            const int minimum = std::max(1, section.minColumnWidth);
            placement.columns = std::max(1, (available + spacing) / (minimum + spacing));
        }
        placement.columnWidth =
            std::max<qreal>(1, qreal(available - spacing * (placement.columns - 1)) / placement.columns);
        if (section.maxColumnWidth > 0)
            placement.columnWidth = std::min<qreal>(placement.columnWidth, section.maxColumnWidth);

        if (section.heightOf) {
            placement.rowTops.reserve(section.count + 1);
            for (int i = 0; i < section.count; ++i) {
                placement.rowTops.append(y);
                y += section.heightOf(i, int(placement.columnWidth)) + section.rowSpacing;
            }
            placement.rowTops.append(y);
            if (section.count > 0)
                y -= section.rowSpacing;
        } else {
            placement.rowPitch = section.tileHeight + section.rowSpacing;
            const int rows = section.count > 0 ? (section.count + placement.columns - 1) / placement.columns : 0;
            if (rows > 0)
                y += rows * placement.rowPitch - section.rowSpacing;
        }
        y += section.insets.bottom();
        placement.bottom = y;
        result.placements.append(placement);
    }
    result.height = y + margins.bottom();
    return result;
}

const TileSections::Layout& TileSections::layout() const
{
    if (m_layout.width != width())
        m_layout = computeLayout(width());
    return m_layout;
}

int TileSections::heightForWidth(int width) const
{
    if (width == this->width())
        return layout().height;
    if (!m_lastHeightForWidth || m_lastHeightForWidth->first != width)
        m_lastHeightForWidth = std::pair{width, computeLayout(width).height};
    return m_lastHeightForWidth->second;
}

QSize TileSections::sizeHint() const
{
    const int width = 600;
    return {width, heightForWidth(width)};
}

QSize TileSections::minimumSizeHint() const
{
    return {0, 0};
}

QRect TileSections::headingRect(int section) const
{
    if (section < 0 || section >= m_sections.size())
        return {};
    const Placement& placement = layout().placements.at(section);
    if (placement.headingTop < 0)
        return {};
    const Section& s = m_sections.at(section);
    const QMargins margins = contentsMargins();
    return QRect(QPoint(margins.left() + s.insets.left(), placement.headingTop),
                 QPoint(width() - margins.right() - s.insets.right() - 1,
                        placement.headingTop + QFontMetrics(m_headingFont).height() - 1));
}

QRect TileSections::tileRect(Tile tile) const
{
    if (tile.section < 0 || tile.section >= m_sections.size() || tile.index < 0 ||
        tile.index >= m_sections.at(tile.section).count)
        return {};
    return tileRect(layout().placements.at(tile.section), tile);
}

QRect TileSections::tileRect(const Placement& placement, Tile tile) const
{
    const Section& section = m_sections.at(tile.section);
    if (section.heightOf) {
        const int top = placement.rowTops.at(tile.index);
        const int bottom = placement.rowTops.at(tile.index + 1) - section.rowSpacing;
        return QRect(placement.left, top, int(std::lround(placement.columnWidth)), bottom - top);
    }
    const int row = tile.index / placement.columns;
    const int column = tile.index % placement.columns;
    const qreal x = placement.left + column * (placement.columnWidth + section.columnSpacing);
    const int left = int(std::lround(x));
    const int right = int(std::lround(x + placement.columnWidth));
    return QRect(left, placement.top + row * placement.rowPitch, right - left, section.tileHeight);
}

std::optional<TileSections::Tile> TileSections::tileAt(const QPoint& position) const
{
    return tileAt(layout(), position);
}

std::optional<TileSections::Tile> TileSections::tileAt(const Layout& layout, const QPoint& position) const
{
    for (int s = 0; s < m_sections.size(); ++s) {
        const Placement& placement = layout.placements.at(s);
        if (position.y() < placement.top || position.y() >= placement.bottom)
            continue;
        const auto [first, last] = rowsIn(s, placement, position.y(), position.y());
        const int columns = m_sections.at(s).heightOf ? 1 : placement.columns;
        for (int row = first; row <= last; ++row)
            for (int column = 0; column < columns; ++column) {
                const Tile tile{s, row * columns + column};
                if (tile.index < m_sections.at(s).count && tileRect(placement, tile).contains(position))
                    return tile;
            }
        return std::nullopt;
    }
    return std::nullopt;
}

// The rows of a section that reach into [top, bottom], as a closed range
// (empty when first > last).
std::pair<int, int> TileSections::rowsIn(int section, const Placement& placement, int top, int bottom) const
{
    const Section& s = m_sections.at(section);
    if (s.count <= 0)
        return {0, -1};
    if (s.heightOf) {
        const auto begin = placement.rowTops.cbegin();
        const auto end = placement.rowTops.cend() - 1;
        const int first = int(std::upper_bound(begin, end, top) - begin) - 1;
        const int last = int(std::upper_bound(begin, end, bottom) - begin) - 1;
        return {std::max(0, first), std::min(s.count - 1, last)};
    }
    if (bottom < placement.top)
        return {0, -1};
    const int rows = (s.count + placement.columns - 1) / placement.columns;
    const int pitch = std::max(1, placement.rowPitch);
    const int first = top < placement.top ? 0 : (top - placement.top) / pitch;
    const int last = std::min(rows - 1, (bottom - placement.top) / pitch);
    return {first, last};
}

void TileSections::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const Layout& current = layout();
    const QRect area = event->rect().adjusted(0, -overflowMargin, 0, overflowMargin);
    QList<Tile> raised;
    for (int s = 0; s < m_sections.size(); ++s) {
        const Placement& placement = current.placements.at(s);
        if (placement.bottom < area.top() ||
            (placement.headingTop >= 0 ? placement.headingTop : placement.top) > area.bottom())
            continue;
        if (const QRect heading = headingRect(s); heading.isValid() && heading.intersects(area)) {
            painter.setFont(m_headingFont);
            painter.setPen(m_headingColor);
            painter.drawText(
                heading, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                QFontMetrics(m_headingFont).elidedText(m_sections.at(s).title, Qt::ElideRight, heading.width()));
        }
        const auto [first, last] = rowsIn(s, placement, area.top(), area.bottom());
        const int columns = m_sections.at(s).heightOf ? 1 : placement.columns;
        for (int row = first; row <= last; ++row)
            for (int column = 0; column < columns; ++column) {
                const Tile tile{s, row * columns + column};
                if (tile.index >= m_sections.at(s).count)
                    break;
                // Tiles in motion are painted last, over their neighbours.
                if (m_hoverStates.contains(key(tile)))
                    raised.append(tile);
                else
                    paintTile(painter, tile);
            }
    }
    for (const Tile& tile : raised)
        paintTile(painter, tile);
}

void TileSections::paintTile(QPainter& painter, Tile tile)
{
    const QRect rect = tileRect(tile);
    if (!m_hoverStates.contains(key(tile))) {
        const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        if (const QPixmap picture = restingPicture(tile, rect, dpr); !picture.isNull()) {
            const int margin = m_sections.at(tile.section).cacheMargin;
            painter.drawPixmap(rect.topLeft() - QPoint(margin, margin), picture);
            return;
        }
    }
    painter.save();
    m_painter(painter, rect, tile, hoverProgress(tile));
    painter.restore();
}

QPixmap TileSections::restingPicture(Tile tile, const QRect& rect, qreal devicePixelRatio)
{
    const Section& section = m_sections.at(tile.section);
    if (!section.cacheKey)
        return {};
    const QString key = section.cacheKey(tile.index) + u'|' + QString::number(rect.width()) + u'x' +
                        QString::number(rect.height()) + u'@' + QString::number(devicePixelRatio);
    if (const QPixmap* kept = m_pictures.object(key))
        return *kept;
    const int margin = section.cacheMargin;
    QPixmap picture((rect.size() + QSize(2 * margin, 2 * margin)) * devicePixelRatio);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setFont(font());
        painter.translate(margin - rect.left(), margin - rect.top());
        m_painter(painter, rect, tile, 0.0);
    }
    const qsizetype bytes = qsizetype(picture.width()) * picture.height() * 4;
    m_pictures.insert(key, new QPixmap(picture), int(std::max<qsizetype>(1, bytes / 1024)));
    return picture;
}

qreal TileSections::hoverProgress(Tile tile) const
{
    const TileHover* state = m_hoverStates.value(key(tile));
    return state ? state->progress() : 0.0;
}

quint64 TileSections::key(Tile tile)
{
    return (quint64(quint32(tile.section)) << 32) | quint32(tile.index);
}

bool TileSections::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<Tile> tile = tileAt(help->pos());
    const auto& toolTip = tile ? m_sections.at(tile->section).toolTip : nullptr;
    const QRect rect = tile ? tileRect(*tile) : QRect();
    const QString text = toolTip ? toolTip(tile->index, rect) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, this, rect);
    }
    return true;
}

void TileSections::mouseMoveEvent(QMouseEvent* event)
{
    setHovered(tileAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void TileSections::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = tileAt(event->position().toPoint());
    event->accept();
}

void TileSections::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const std::optional<Tile> released = tileAt(event->position().toPoint());
    const std::optional<Tile> pressed = std::exchange(m_pressed, std::nullopt);
    if (pressed && released == pressed)
        Q_EMIT tileClicked(*pressed);
    event->accept();
}

void TileSections::leaveEvent(QEvent* event)
{
    setHovered(std::nullopt);
    QWidget::leaveEvent(event);
}

void TileSections::moveEvent(QMoveEvent* event)
{
    // Scrolling moves the tiles under a pointer that stays put.
    QWidget::moveEvent(event);
    followPointer();
}

void TileSections::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    followPointer();
}

void TileSections::followPointer()
{
    if (!isVisible() || !underMouse())
        return;
    setHovered(tileAt(mapFromGlobal(QCursor::pos())));
}

void TileSections::setHovered(std::optional<Tile> tile)
{
    if (tile == m_hovered)
        return;
    if (m_hovered)
        animateHover(*m_hovered, 0.0);
    m_hovered = tile;
    if (m_hovered)
        animateHover(*m_hovered, 1.0);
}

void TileSections::animateHover(Tile tile, qreal target)
{
    TileHover*& state = m_hoverStates[key(tile)];
    if (!state) {
        state = new TileHover(
            [this, tile] {
                update(tileRect(tile).adjusted(-overflowMargin, -overflowMargin, overflowMargin, overflowMargin));
            },
            this);
    }
    const HoverMotion& motion = m_sections.at(tile.section).hoverMotion;
    QVariantAnimation* running = nullptr;
    if (const auto* spring = std::get_if<Spring>(&motion))
        running = Motion::animate(state, "progress", target, *spring);
    else if (const auto* eased = std::get_if<EaseInOut>(&motion))
        running = Motion::animate(state, "progress", target, QEasingCurve::InOutQuad, eased->durationMs);
    else
        state->setProgress(target);
    if (target > 0)
        return;
    if (running)
        connect(running, &QAbstractAnimation::finished, this, [this, tile] { hoverSettled(tile); });
    else
        hoverSettled(tile);
}

// A tile back at rest keeps no state.
void TileSections::hoverSettled(Tile tile)
{
    if (m_hovered == tile)
        return;
    if (TileHover* state = m_hoverStates.take(key(tile))) {
        state->deleteLater();
        update(tileRect(tile).adjusted(-overflowMargin, -overflowMargin, overflowMargin, overflowMargin));
    }
}

#include "TileSections.moc"
