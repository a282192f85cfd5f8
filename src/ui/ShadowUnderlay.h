#pragma once

#include "ui/RoundedBackground.h"

#include <QList>
#include <QPointer>
#include <QWidget>

// The soft shadow of a widget's background, cast beyond the widget's bounds.
// Neither the widget nor a graphics effect on it can do that: each is clipped
// by the widget's parent, which for a button in a row is no larger than the
// button, so a shadow 10 down with a reach of 30 would show as dark corners.
// The shadow is painted instead by this transparent widget, put in the
// nearest ancestor with room for all of it, just beneath the branch that
// holds the widget; it follows the widget's place, size and visibility.
class ShadowUnderlay : public QWidget
{
    Q_OBJECT

public:
    // Gives `target` the shadow of `background` (its shape and its shadow);
    // a background without a shadow takes an earlier one away.
    static void cast(QWidget& target, const RoundedBackground& background);
    // The shadow `target` casts, if any.
    static ShadowUnderlay* of(const QWidget& target);

    QWidget* target() const { return m_target; }
    // Where the target's shape lies, in this widget's coordinates.
    QRectF shapeRect() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    ShadowUnderlay(QWidget& target, const RoundedBackground& background);

    void setBackground(const RoundedBackground& background);
    // The rectangle the shadow covers, in the target's coordinates.
    QRect extentInTarget() const;
    QWidget* findHost() const;
    void schedulePlace();
    void place();
    void watchAncestors(QWidget* host);

    QPointer<QWidget> m_target;
    RoundedBackground m_background;
    QList<QPointer<QWidget>> m_watched;
    bool m_placeQueued = false;
};
