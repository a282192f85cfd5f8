#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// A label in one font and colour: the screens' plain text.
QLabel* makeTextLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent = nullptr);
