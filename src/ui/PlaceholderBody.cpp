#include "ui/PlaceholderBody.h"

#include "ui/PremiumTheme.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QVBoxLayout>

QWidget* makePlaceholderBody(const QString& symbolName, const QString& title, QLabel* detail)
{
    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setSpacing(12);
    column->addStretch();
    column->addWidget(new SymbolLabel(symbolName, 48, PremiumTheme::textTertiary()), 0, Qt::AlignHCenter);
    if (!title.isEmpty())
        column->addWidget(makeTextLabel(title, PremiumTheme::headingFont(), PremiumTheme::textPrimary()), 0,
                          Qt::AlignHCenter);
    detail->setFont(PremiumTheme::bodyFont());
    QPalette palette = detail->palette();
    palette.setColor(QPalette::WindowText, PremiumTheme::textSecondary());
    detail->setPalette(palette);
    detail->setAlignment(Qt::AlignHCenter);
    detail->setWordWrap(true);
    column->addWidget(detail);
    column->addStretch();
    return body;
}
