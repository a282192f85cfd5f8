#include "core/SystemColor.h"

using namespace Qt::StringLiterals;

QString systemColorName(SystemColor color)
{
    switch (color) {
    case SystemColor::red:
        return u"red"_s;
    case SystemColor::orange:
        return u"orange"_s;
    case SystemColor::yellow:
        return u"yellow"_s;
    case SystemColor::green:
        return u"green"_s;
    case SystemColor::mint:
        return u"mint"_s;
    case SystemColor::teal:
        return u"teal"_s;
    case SystemColor::cyan:
        return u"cyan"_s;
    case SystemColor::blue:
        return u"blue"_s;
    case SystemColor::indigo:
        return u"indigo"_s;
    case SystemColor::purple:
        return u"purple"_s;
    case SystemColor::pink:
        return u"pink"_s;
    case SystemColor::brown:
        return u"brown"_s;
    case SystemColor::gray:
        return u"gray"_s;
    }
    Q_UNREACHABLE();
    return {};
}
