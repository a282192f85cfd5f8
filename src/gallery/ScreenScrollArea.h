#pragma once

#include <QList>
#include <QScrollArea>

class QScrollBar;

// The vertical, frameless, see-through scrolling area a whole screen's content
// scrolls in; the content follows the area's width. The scroll bar floats
// over the content's trailing margin, so the content keeps its width whether
// or not there is anything to scroll (a search that narrows the list does not
// shift the header sideways).
class ScreenScrollArea : public QScrollArea
{
    Q_OBJECT

public:
    explicit ScreenScrollArea(QWidget* content, QWidget* parent = nullptr);

    // Fills `screen` with one scrolling column: `header`, `gap` below it the
    // bodies, then `bottomMargin`. Bodies keep TileSections::overflowMargin
    // free above and below them for what tiles draw beyond their bounds; it
    // is taken from the gap and the margin.
    static ScreenScrollArea* layOut(QWidget* screen, QWidget* header, const QList<QWidget*>& bodies, int gap,
                                    int bottomMargin);

    // The bar the user sees and drags; verticalScrollBar() stays the model.
    QScrollBar* overlayBar() const { return m_overlay; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void followRange(int minimum, int maximum);

    QScrollBar* m_overlay;
};
