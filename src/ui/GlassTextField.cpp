#include "ui/GlassTextField.h"

#include "ui/PremiumTheme.h"
#include "ui/SymbolLabel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

namespace {
constexpr int padding = 16;
constexpr int spacing = 12;
constexpr qreal cornerRadius = 12;
} // namespace

GlassTextField::GlassTextField(const QString& placeholder, const QString& symbolName, QWidget* parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_edit(new QLineEdit(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(spacing);
    if (!symbolName.isEmpty()) {
        m_symbol =
            new SymbolLabel(symbolName, PremiumTheme::bodyFont().pixelSize() + 2, PremiumTheme::textTertiary(), this);
        row->addWidget(m_symbol, 0, Qt::AlignVCenter);
    }
    m_edit->setPlaceholderText(placeholder);
    m_edit->setFrame(false);
    m_edit->setFont(PremiumTheme::bodyFont());
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, PremiumTheme::textPrimary());
    palette.setColor(QPalette::PlaceholderText, PremiumTheme::textTertiary());
    m_edit->setPalette(palette);
    // The application style sheet would otherwise give the field its own box.
    m_edit->setStyleSheet(u"QLineEdit { background: transparent; border: none; padding: 0; }"_s);
    row->addWidget(m_edit, 1);
    connect(m_edit, &QLineEdit::textChanged, this, &GlassTextField::textChanged);
}

QString GlassTextField::text() const
{
    return m_edit->text();
}

void GlassTextField::setText(const QString& text)
{
    m_edit->setText(text);
}

void GlassTextField::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(box, cornerRadius, cornerRadius);
    painter.fillPath(shape, PremiumTheme::glassFill());
    painter.strokePath(shape, QPen(PremiumTheme::glassBorder(), 1));
}
