#include "ui/GlassCard.h"

GlassCard::GlassCard(QBoxLayout::Direction direction, QWidget* parent)
    : RoundedPanel(RoundedBackground::glass(cornerRadius), padding, direction, parent)
{}
