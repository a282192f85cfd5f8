#include "duplicates/TitledButton.h"

#include "ui/LabelContent.h"
#include "ui/PlainButton.h"

#include <QLabel>

RoundedBackground filledBackground(qreal cornerRadius, const QBrush& fill)
{
    return {cornerRadius, fill, Qt::transparent, 0, std::nullopt};
}

RoundedBackground outlinedBackground(qreal cornerRadius, const QColor& color, qreal lineWidth)
{
    return {cornerRadius, Qt::NoBrush, color, lineWidth, std::nullopt};
}

PlainButton* makeTitledButton(const QString& symbolName, const QString& title, const TitledButtonStyle& style)
{
    auto* button = new PlainButton(style.background, style.padding);
    button->contentLayout()->setSpacing(style.spacing);
    labelContent(*button->contentLayout(), symbolName, title);
    button->setFont(style.font);
    button->setTextColor(style.textColor);
    return button;
}

QLabel* titleOf(const PlainButton& button)
{
    QBoxLayout* stack = button.contentLayout();
    return qobject_cast<QLabel*>(stack->itemAt(stack->count() - 1)->widget());
}
