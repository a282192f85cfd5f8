#include "ui/ConfettiParticle.h"

#include <QRandomGenerator>

#include <array>

namespace {
double uniform(QRandomGenerator& generator, double low, double high)
{
    return low + generator.generateDouble() * (high - low);
}

constexpr std::array confettiColors{SystemColor::red,    SystemColor::blue,   SystemColor::green,
                                    SystemColor::yellow, SystemColor::purple, SystemColor::orange};
} // namespace

ConfettiParticle ConfettiParticle::random(QRandomGenerator& generator)
{
    ConfettiParticle particle;
    particle.id = QUuid::createUuid();
    particle.x = uniform(generator, 0, 1200);
    particle.y = uniform(generator, -200, 0);
    particle.velocityX = uniform(generator, -2, 2);
    particle.velocityY = uniform(generator, 3, 8);
    particle.size = uniform(generator, 4, 12);
    particle.color = confettiColors[generator.bounded(int(confettiColors.size()))];
    particle.opacity = 1;
    particle.spin = uniform(generator, -0.1, 0.1);
    return particle;
}
