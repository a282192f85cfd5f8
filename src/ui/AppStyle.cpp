#include "ui/AppStyle.h"

#include "ui/PremiumTheme.h"

#include <QApplication>
#include <QStyleFactory>

using namespace Qt::StringLiterals;

QString cssColor(const QColor& color)
{
    return u"rgba(%1, %2, %3, %4)"_s.arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF(), 'f', 3));
}

QPalette darkPalette()
{
    using namespace PremiumTheme;
    const QColor opaqueTertiary = QColor(128, 128, 128);
    QPalette palette;
    palette.setColor(QPalette::Window, background());
    palette.setColor(QPalette::WindowText, textPrimary());
    palette.setColor(QPalette::Base, surface());
    palette.setColor(QPalette::AlternateBase, surfaceElevated());
    palette.setColor(QPalette::ToolTipBase, surfaceElevated());
    palette.setColor(QPalette::ToolTipText, textPrimary());
    palette.setColor(QPalette::PlaceholderText, textTertiary());
    palette.setColor(QPalette::Text, textPrimary());
    palette.setColor(QPalette::Button, surfaceElevated());
    palette.setColor(QPalette::ButtonText, textPrimary());
    palette.setColor(QPalette::BrightText, textPrimary());
    palette.setColor(QPalette::Highlight, primary());
    palette.setColor(QPalette::HighlightedText, textPrimary());
    palette.setColor(QPalette::Link, primary());
    palette.setColor(QPalette::LinkVisited, secondary());
    palette.setColor(QPalette::Light, QColor(0x3A, 0x3A, 0x3A));
    palette.setColor(QPalette::Midlight, surfaceElevated());
    palette.setColor(QPalette::Mid, surface());
    palette.setColor(QPalette::Dark, background());
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, opaqueTertiary);
    return palette;
}

// QBalloonTip is Qt's own tray notice, shown where the desktop has no
// notification service: left alone it paints itself pale yellow under labels
// that take the dark look's white text. It gets the tooltips' colours.
QString applicationStyleSheet()
{
    using namespace PremiumTheme;
    return uR"(
QToolTip { color: %1; background-color: %2; border: 1px solid %3; border-radius: 6px; padding: 4px 8px; }
QBalloonTip { background-color: %2; }
QBalloonTip QLabel { color: %1; }
QMenu { background-color: %2; color: %1; border: 1px solid %3; border-radius: 8px; padding: 4px; }
QMenu::item { padding: 6px 20px; border-radius: 4px; }
QMenu::item:selected { background-color: %4; }
QMenu::separator { height: 1px; background: %3; margin: 4px 8px; }
QScrollBar:vertical { background: transparent; width: 10px; margin: 0; }
QScrollBar:horizontal { background: transparent; height: 10px; margin: 0; }
QScrollBar::handle { background: %5; border-radius: 4px; margin: 2px; }
QScrollBar::handle:vertical { min-height: 32px; }
QScrollBar::handle:horizontal { min-width: 32px; }
QScrollBar::handle:hover { background: %6; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }
QSlider:horizontal { min-height: 16px; }
QSlider::groove:horizontal { height: 4px; background: %5; border-radius: 2px; }
QSlider::sub-page:horizontal { background: palette(highlight); border-radius: 2px; }
QSlider::handle:horizontal { background: %1; width: 14px; height: 14px; margin: -5px 0; border-radius: 7px; }
)"_s.arg(cssColor(textPrimary()), cssColor(surfaceElevated()), cssColor(glassBorder()), cssColor(primary()),
         cssColor(QColor(255, 255, 255, 51)), cssColor(textTertiary()));
}

void applyDarkStyle(QApplication& app)
{
    app.setStyle(QStyleFactory::create(u"Fusion"_s));
    app.setPalette(darkPalette());
    QApplication::setFont(PremiumTheme::bodyFont());
    app.setStyleSheet(applicationStyleSheet());
}
