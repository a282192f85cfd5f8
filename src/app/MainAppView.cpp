#include "app/MainAppView.h"

#include "app/theme/PremiumTheme.h"

MainAppView::MainAppView(ScreenshotMonitor&, QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, PremiumTheme::background());
    setPalette(palette);
}
