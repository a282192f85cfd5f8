#pragma once

#include "ui/Spring.h"

#include <QCache>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QMargins>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <variant>

class TileHover;

// The body of a scrolling screen: sections of tiles, each under an optional
// heading, laid out in rows and columns from the width alone and painted by
// the screen that owns them. Only the tiles in view are painted, so thousands
// of tiles cost no more than a screenful.
//
// The tile under the pointer is hovered; its look follows on the section's
// motion. A press and release on the same tile is a click.
class TileSections : public QWidget
{
    Q_OBJECT

public:
    struct Tile
    {
        int section = 0;
        int index = 0;

        bool operator==(const Tile&) const = default;
    };

    struct EaseInOut
    {
        int durationMs = 0;
    };
    // How a tile's hover look follows the pointer: at once, on a spring, or
    // along an ease-in-out curve.
    using HoverMotion = std::variant<std::monostate, Spring, EaseInOut>;

    struct Section
    {
        QString title; // the heading; none when empty
        int headingGap = 0;
        int count = 0;
        // With fixedColumns set, that many columns share the width; otherwise
        // as many as fit at minColumnWidth or more, none wider than
        // maxColumnWidth (0: no limit).
        int fixedColumns = 0;
        int minColumnWidth = 0;
        int maxColumnWidth = 0;
        int columnSpacing = 0;
        int rowSpacing = 0;
        int tileHeight = 0;
        // One column of tiles, each as high as this says for the column's
        // width; replaces tileHeight.
        std::function<int(int index, int width)> heightOf;
        // Around the tiles; left and right also inset the heading.
        QMargins insets;
        HoverMotion hoverMotion;
        // What a tile at rest shows, as text: tiles are painted once per key
        // and size and then copied, which is far cheaper than painting their
        // shapes and texts again on every scroll step. Empty: never kept.
        std::function<QString(int index)> cacheKey;
        // How far a kept tile's picture reaches beyond its rectangle (its
        // shadow at rest).
        int cacheMargin = 0;
        // The tooltip of the tile at `rect`; none when empty or unset.
        std::function<QString(int index, const QRect& rect)> toolTip;
    };

    // Paints one tile into its rectangle. `hover` runs from 0 (pointer away)
    // to 1 (pointer on it) and may overshoot while a spring settles. Tiles
    // may paint up to overflowMargin beyond their rectangle.
    using TilePainter = std::function<void(QPainter& painter, const QRect& rect, Tile tile, qreal hover)>;
    static constexpr int overflowMargin = 24;

    explicit TileSections(TilePainter painter, QWidget* parent = nullptr);
    // The look of the collection screens: headings in the headline style,
    // white at 60 %, `sectionSpacing` apart, and overflowMargin kept free
    // above and below.
    static TileSections* forScreen(TilePainter painter, int sectionSpacing);
    ~TileSections() override;

    void setHeadingStyle(const QFont& font, const QColor& color);
    void setSectionSpacing(int spacing);
    // Sections without tiles and without a title are left out. The hover
    // follows the pointer into the new tiles.
    void setSections(QList<Section> sections);
    const QList<Section>& sections() const { return m_sections; }

    // Null when the section shows no heading.
    QRect headingRect(int section) const;
    QRect tileRect(Tile tile) const;
    std::optional<Tile> tileAt(const QPoint& position) const;
    std::optional<Tile> hoveredTile() const { return m_hovered; }
    qreal hoverProgress(Tile tile) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void tileClicked(TileSections::Tile tile);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Placement
    {
        int headingTop = -1;
        int top = 0; // of the first row
        int bottom = 0;
        int left = 0;
        int columns = 1;
        qreal columnWidth = 0;
        int rowPitch = 0;
        QList<int> rowTops; // variable heights: each row's top, then the end
    };
    struct Layout
    {
        int width = -1;
        QList<Placement> placements;
        int height = 0;
    };

    Layout computeLayout(int width) const;
    const Layout& layout() const;
    int rowCount(int section) const;
    QRect tileRect(const Placement& placement, Tile tile) const;
    std::optional<Tile> tileAt(const Layout& layout, const QPoint& position) const;
    std::pair<int, int> rowsIn(int section, const Placement& placement, int top, int bottom) const;
    void paintTile(QPainter& painter, Tile tile);
    // The tile at rest, painted once and kept; null when its section keeps none.
    QPixmap restingPicture(Tile tile, const QRect& rect, qreal devicePixelRatio);

    void setHovered(std::optional<Tile> tile);
    void animateHover(Tile tile, qreal target);
    void hoverSettled(Tile tile);
    void followPointer();
    static quint64 key(Tile tile);

    TilePainter m_painter;
    QList<Section> m_sections;
    QFont m_headingFont;
    QColor m_headingColor = Qt::white;
    int m_sectionSpacing = 0;
    mutable Layout m_layout;
    mutable std::optional<std::pair<int, int>> m_lastHeightForWidth;

    std::optional<Tile> m_hovered;
    std::optional<Tile> m_pressed;
    QHash<quint64, TileHover*> m_hoverStates;
    QCache<QString, QPixmap> m_pictures;
};
