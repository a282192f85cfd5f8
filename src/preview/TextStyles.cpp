#include "preview/TextStyles.h"

#include "ui/PremiumTheme.h"

namespace TextStyle {

QFont caption()
{
    return PremiumTheme::systemFont(10);
}

QFont title2()
{
    return PremiumTheme::systemFont(17);
}

QFont title()
{
    return PremiumTheme::systemFont(22);
}

QFont largeTitle()
{
    return PremiumTheme::systemFont(26);
}

} // namespace TextStyle
