#include "preview/CustomSearchBar.h"

#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolLabel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>

using namespace Qt::StringLiterals;

CustomSearchBar::CustomSearchBar(const QString& placeholder, QWidget* parent)
    : QWidget(parent)
    , m_field(new QLineEdit(this))
{
    setObjectName(u"customSearchBar"_s);
    const QColor secondary = PremiumTheme::textSecondary();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 6, 6, 6);
    row->addWidget(new SymbolLabel(u"magnifyingglass"_s, 13, secondary, this));

    m_field->setPlaceholderText(placeholder);
    m_field->setFrame(false);
    m_field->setFont(PremiumTheme::systemFont(13));
    m_field->setStyleSheet(u"QLineEdit { background: transparent; border: none; padding: 0; }"_s);
    row->addWidget(m_field, 1);

    auto* clear = new PlainButton(RoundedBackground{}, QMargins(), QBoxLayout::LeftToRight, this);
    clear->contentLayout()->addWidget(new SymbolLabel(u"xmark.circle.fill"_s, 13, secondary, clear));
    clear->setFocusPolicy(Qt::NoFocus);
    clear->setCursor(Qt::ArrowCursor);
    clear->hide();
    m_clear = clear;
    row->addWidget(clear);

    connect(m_clear, &QAbstractButton::clicked, m_field, &QLineEdit::clear);
    connect(m_field, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_clear->setVisible(!text.isEmpty());
        Q_EMIT textChanged(text);
    });
}

QString CustomSearchBar::text() const
{
    return m_field->text();
}

void CustomSearchBar::setText(const QString& text)
{
    m_field->setText(text);
}

void CustomSearchBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RoundedBackground{8, withOpacity(PremiumTheme::textSecondary(), 0.1), Qt::transparent, 1, std::nullopt}.paint(
        painter, QRectF(rect()));
}
