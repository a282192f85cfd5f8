#include "ui/TextStyle.h"

#include "ui/PremiumTheme.h"

namespace TextStyle {

const QFont& body()
{
    static const QFont font = PremiumTheme::systemFont(13);
    return font;
}

const QFont& headline()
{
    static const QFont font = PremiumTheme::systemFont(13, QFont::Bold);
    return font;
}

const QFont& caption()
{
    static const QFont font = PremiumTheme::systemFont(10);
    return font;
}

const QFont& caption2()
{
    static const QFont font = PremiumTheme::systemFont(10, QFont::Medium);
    return font;
}

} // namespace TextStyle
