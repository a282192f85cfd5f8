#pragma once

#include "ui/RoundedPanel.h"

// A section presented as glass: padded by 24 on a rounded rectangle of radius
// 16 filled with glassFill and outlined with glassBorder.
class GlassCard : public RoundedPanel
{
    Q_OBJECT

public:
    static constexpr int padding = 24;
    static constexpr qreal cornerRadius = 16;

    explicit GlassCard(QBoxLayout::Direction direction = QBoxLayout::TopToBottom, QWidget* parent = nullptr);
};
