#pragma once

#include "core/SystemColor.h"

#include <QUuid>

class QRandomGenerator;

// One round piece of confetti, in the confetti layer's coordinates (origin at
// the top left, y downwards, speeds in points per tick).
struct ConfettiParticle
{
    QUuid id;
    double x = 0;
    double y = 0;
    double velocityX = 0;
    double velocityY = 0;
    double size = 0;
    SystemColor color = SystemColor::red;
    double opacity = 1;
    double spin = 0; // drawn pieces are circles, so nothing reads it yet

    // A new piece somewhere in a 1200-point band up to 200 points above the
    // top edge, falling at 3 to 8 points per tick.
    static ConfettiParticle random(QRandomGenerator& generator);
};
