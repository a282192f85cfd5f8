#pragma once

#include <QString>

class QLabel;
class QWidget;

// The centred symbol, title and one line of detail that a screen shows while
// its full content is still to come. An empty title is left out.
QWidget* makePlaceholderBody(const QString& symbolName, const QString& title, QLabel* detail);
