#include "ui/SymbolButtons.h"

#include "ui/PlainButton.h"
#include "ui/SymbolLabel.h"

PlainButton* makeCircleSymbolButton(const QString& symbolName, int symbolSize, const QColor& symbolColor, int padding,
                                    const QColor& fill, const QColor& stroke, QWidget* parent)
{
    const int side = symbolSize + 2 * padding;
    auto* button = new PlainButton(RoundedBackground::circle(fill, stroke),
                                   QMargins(padding, padding, padding, padding), QBoxLayout::LeftToRight, parent);
    button->contentLayout()->addWidget(new SymbolLabel(symbolName, symbolSize, symbolColor));
    button->setProperty("symbolName", symbolName);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedSize(side, side);
    return button;
}

PlainButton* makeBorderedButton(QWidget* content, QWidget* parent)
{
    auto* button =
        new PlainButton(RoundedBackground{5, QColor(255, 255, 255, 31), QColor(255, 255, 255, 26), 1, std::nullopt},
                        QMargins(8, 3, 8, 3), QBoxLayout::LeftToRight, parent);
    button->setHoverBackground(
        RoundedBackground{5, QColor(255, 255, 255, 46), QColor(255, 255, 255, 38), 1, std::nullopt});
    button->contentLayout()->addWidget(content, 0, Qt::AlignCenter);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
