#include "ui/LabelContent.h"

#include "ui/StyledSymbol.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>

void labelContent(QBoxLayout& stack, const QString& symbolName, const QString& title)
{
    stack.addWidget(new StyledSymbol(symbolName), 0, Qt::AlignVCenter);
    auto* text = new QLabel(QCoreApplication::translate("Glimmerdeck", title.toUtf8().constData()));
    text->setTextFormat(Qt::PlainText);
    stack.addWidget(text, 0, Qt::AlignVCenter);
}
