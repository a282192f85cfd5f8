#include "ui/UnreadablePicture.h"

#include "ui/ColorFromHex.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace UnreadablePicture {
QString text()
{
    return u"This image can't be opened."_s;
}

QString symbolName()
{
    return u"photo.badge.exclamationmark"_s;
}

QWidget* makePlaceholder(QWidget* parent)
{
    auto* placeholder = new QWidget(parent);
    placeholder->setObjectName(u"unreadablePicture"_s);
    auto* column = new QVBoxLayout(placeholder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(new SymbolLabel(symbolName(), 36, withOpacity(Qt::white, 0.5)), 0, Qt::AlignHCenter);
    QLabel* sentence = makeTextLabel(text(), PremiumTheme::captionFont(), withOpacity(Qt::white, 0.6));
    sentence->setObjectName(u"unreadablePictureText"_s);
    column->addWidget(sentence, 0, Qt::AlignHCenter);
    // A click on it is one on the backdrop behind.
    placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    placeholder->adjustSize();
    return placeholder;
}
} // namespace UnreadablePicture
