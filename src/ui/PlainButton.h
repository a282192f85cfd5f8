#pragma once

#include "ui/RoundedBackground.h"

#include <QAbstractButton>
#include <QBoxLayout>

// A button without system chrome: whatever the caller stacks into
// contentLayout() (symbols, texts, a spinner) on a rounded background. Clicks
// anywhere on it, content included, come out as clicked(). The background may
// differ while the pointer is over the button; a press darkens it slightly.
// Content widgets take the button's font and palette unless they set their own,
// so styling the button styles its label.
class PlainButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(bool hovered READ isHovered NOTIFY hoveredChanged)

public:
    PlainButton(const RoundedBackground& background, QMargins padding,
                QBoxLayout::Direction direction = QBoxLayout::LeftToRight, QWidget* parent = nullptr);

    QBoxLayout* contentLayout() const { return m_content; }

    const RoundedBackground& background() const { return m_background; }
    void setBackground(const RoundedBackground& background);
    // The background while hovered; by default the same as background().
    void setHoverBackground(const RoundedBackground& background);
    const RoundedBackground& currentBackground() const;

    bool isHovered() const { return m_hovered; }
    // The label's font and text colour, handed to the parts made by
    // labelContent() and inheritingLabel().
    void setTextStyle(const QFont& font, const QColor& color);
    // The same with the button's current font.
    void setTextColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void hoveredChanged(bool hovered);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    void setHovered(bool hovered);

    RoundedBackground m_background;
    std::optional<RoundedBackground> m_hoverBackground;
    QBoxLayout* m_content;
    bool m_hovered = false;
};
