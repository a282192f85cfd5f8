#pragma once

#include "ui/RoundedBackground.h"

#include <QBoxLayout>
#include <QWidget>

// Content stacked inside a padded rounded background. Callers add their
// widgets to contentLayout() and set its spacing.
class RoundedPanel : public QWidget
{
    Q_OBJECT

public:
    RoundedPanel(const RoundedBackground& background, int padding,
                 QBoxLayout::Direction direction = QBoxLayout::TopToBottom, QWidget* parent = nullptr);

    const RoundedBackground& background() const { return m_background; }
    void setBackground(const RoundedBackground& background);

    // The stack the content goes into (spacing 0 until changed).
    QBoxLayout* contentLayout() const { return m_content; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    RoundedBackground m_background;
    QBoxLayout* m_content;
};
