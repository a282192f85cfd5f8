#pragma once

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QString>

class QPainter;

// The gallery's cell: one screenshot drawn edge to edge in a square, with
// what the gallery says about it (selected, focused), the pointer over it, a
// check button, a "Magic" pill while it waits for analysis and a badge for
// recordings; a file of which no picture can be made says so. It draws; the
// grid decides, handles clicks and loads pictures.
class CleanScreenshotCard
{
public:
    struct State
    {
        bool selected = false;
        bool selectionMode = false;
        bool focused = false;
        bool hovered = false;
        bool hasPicture = false;
        bool unreadable = false; // no picture can be made of the file
        bool textAbsent = false; // not analysed yet
        bool video = false;
    };

    // Which layers a card draws, back to front.
    struct Layers
    {
        bool picture = false;
        bool unreadable = false;
        bool selectionMark = false;
        bool focusBorder = false;
        bool hoverBorder = false;
        bool checkButton = false;
        QString checkSymbol;
        bool magicPill = false;
        bool videoBadge = false;
        bool operator==(const Layers&) const = default;
    };

    static constexpr double cornerRadius = 12;

    static Layers layers(const State& state);
    // Where the check button sits in a card, and where it takes a click.
    static QRectF checkButtonRect(const QRectF& cell);
    static QRectF checkButtonHitRect(const QRectF& cell);

    // The card's background and thumbnail in one opaque image: the picture
    // fills a square of `side` logical pixels (aspect kept, centre kept),
    // corners rounded over the surface colour.
    QImage picture(const QImage& thumbnail, int side, qreal devicePixelRatio);

    // Draws into `cell`; `picture` is the result of picture() or null.
    void paint(QPainter& painter, const QRectF& cell, const Layers& layers, const QImage& picture);

private:
    const QPixmap& symbol(const QString& name, int size, const QColor& color, qreal devicePixelRatio);
    const QImage& cornerOverlay(int pixels, qreal devicePixelRatio);
    const QPixmap& magicPill(qreal devicePixelRatio);
    void paintUnreadable(QPainter& painter, const QRectF& cell, const Layers& layers);
    void paintCheckButton(QPainter& painter, const QRectF& cell, const QString& symbolName, bool selected);
    void paintMagicPill(QPainter& painter, const QRectF& cell);
    void paintVideoBadge(QPainter& painter, const QRectF& cell);

    // Symbol pixmaps drawn once per name, size, colour and scale.
    QHash<QString, QPixmap> m_symbols;
    // What lies outside a picture's rounded corners, for its current size.
    QImage m_cornerOverlay;
    qreal m_cornerOverlayRatio = 0;
    // The pill, drawn once per scale: its sparkle is a colour emoji, which
    // the font engine would decode again at every paint.
    QPixmap m_magicPill;
};
