#include "spacesaver/SpaceSaverGradient.h"

#include "ui/PremiumTheme.h"

QLinearGradient successToInfo(QPointF start, QPointF end)
{
    QLinearGradient gradient(start, end);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, PremiumTheme::success());
    gradient.setColorAt(1, PremiumTheme::info());
    return gradient;
}
