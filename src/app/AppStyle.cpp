#include "app/AppStyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

void applyDarkStyle(QApplication& app)
{
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    const QColor window(0x0A, 0x0A, 0x0A);
    const QColor surface(0x1A, 0x1A, 0x1A);
    const QColor raised(0x2A, 0x2A, 0x2A);
    const QColor accent(0x63, 0x66, 0xF1);
    const QColor dimText(255, 255, 255, 128);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, surface);
    palette.setColor(QPalette::AlternateBase, raised);
    palette.setColor(QPalette::ToolTipBase, raised);
    palette.setColor(QPalette::ToolTipText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, dimText);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, raised);
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent);
    palette.setColor(QPalette::Disabled, QPalette::Text, dimText);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, dimText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, dimText);
    app.setPalette(palette);
}
