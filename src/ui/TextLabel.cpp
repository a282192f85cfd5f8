#include "ui/TextLabel.h"

#include <QLabel>

QLabel* makeTextLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    // Inside a button a label takes the button's roles and draws with
    // ButtonText, so the colour goes to every role a label may draw with.
    QPalette palette = label->palette();
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, color);
    label->setPalette(palette);
    return label;
}
