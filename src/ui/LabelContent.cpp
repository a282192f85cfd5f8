#include "ui/LabelContent.h"

#include "ui/StyledSymbol.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QPalette>

namespace {
const char* const inheritsTextStyle = "inheritsTextStyle";
}

void labelContent(QBoxLayout& stack, const QString& symbolName, const QString& title)
{
    stack.addWidget(new StyledSymbol(symbolName), 0, Qt::AlignVCenter);
    stack.addWidget(inheritingLabel(QCoreApplication::translate("Glimmerdeck", title.toUtf8().constData())), 0,
                    Qt::AlignVCenter);
}

QLabel* inheritingLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setProperty(inheritsTextStyle, true);
    return label;
}

void applyTextStyle(QWidget& container, const QFont& font, const QColor& color)
{
    const auto style = [&font, &color](QWidget& widget) {
        widget.setFont(font);
        QPalette palette = widget.palette();
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::ButtonText, color);
        palette.setColor(QPalette::Text, color);
        widget.setPalette(palette);
    };
    style(container);
    for (QWidget* part : container.findChildren<QWidget*>())
        if (part->property(inheritsTextStyle).toBool())
            style(*part);
}
