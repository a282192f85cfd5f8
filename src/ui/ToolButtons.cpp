#include "ui/ToolButtons.h"

#include "ui/ActivitySpinner.h"
#include "ui/LabelContent.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"

#include <QLabel>

PlainButton* wideToolButton(const RoundedBackground& background, const QColor& textColor)
{
    auto* button = new PlainButton(background, QMargins(16, 16, 16, 16));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->contentLayout()->setSpacing(12);
    button->setTextStyle(PremiumTheme::buttonFont(), textColor);
    return button;
}

PlainButton* titledToolButton(const QString& symbol, const QString& title, const RoundedBackground& background,
                              const QColor& textColor)
{
    PlainButton* button = wideToolButton(background, textColor);
    button->contentLayout()->addStretch();
    labelContent(*button->contentLayout(), symbol, title);
    button->contentLayout()->addStretch();
    button->setTextStyle(PremiumTheme::buttonFont(), textColor);
    return button;
}

BusyButtonLabel addBusyButtonLabel(PlainButton& button, const QString& symbol, const QColor& textColor)
{
    auto* spinner = new ActivitySpinner(0.8);
    spinner->setColor(textColor);
    const BusyButtonLabel label{spinner, new StyledSymbol(symbol), inheritingLabel(QString())};
    QBoxLayout* stack = button.contentLayout();
    stack->addStretch();
    stack->addWidget(label.spinner, 0, Qt::AlignVCenter);
    stack->addWidget(label.symbol, 0, Qt::AlignVCenter);
    stack->addWidget(label.title, 0, Qt::AlignVCenter);
    stack->addStretch();
    button.setTextStyle(PremiumTheme::buttonFont(), textColor);
    return label;
}

void BusyButtonLabel::show(bool busy, const QString& idleTitle, const QString& busyTitle) const
{
    spinner->setVisible(busy);
    symbol->setVisible(!busy);
    title->setText(busy ? busyTitle : idleTitle);
}
