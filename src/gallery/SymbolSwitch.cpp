#include "gallery/SymbolSwitch.h"

#include "ui/PlainButton.h"
#include "ui/RoundedBackground.h"
#include "ui/StyledSymbol.h"

#include <QHBoxLayout>
#include <QPainter>

SymbolSwitch::SymbolSwitch(const QStringList& symbols, const Look& look, QWidget* parent)
    : QWidget(parent)
    , m_look(look)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(look.inset, look.inset, look.inset, look.inset);
    row->setSpacing(0);
    for (const QString& name : symbols) {
        auto* button = new PlainButton({}, {});
        button->setFixedSize(look.segment);
        auto* symbol = new StyledSymbol(name, look.otherSymbol, look.symbolSize);
        button->contentLayout()->addWidget(symbol, 0, Qt::AlignCenter);
        const int index = int(m_buttons.size());
        connect(button, &QAbstractButton::clicked, this, [this, index] {
            setCurrentIndex(index);
            Q_EMIT activated(index);
        });
        row->addWidget(button);
        m_buttons.append(button);
        m_symbols.append(symbol);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    restyle();
}

void SymbolSwitch::setCurrentIndex(int index)
{
    if (index < 0 || index >= m_buttons.size() || index == m_current)
        return;
    m_current = index;
    restyle();
}

void SymbolSwitch::restyle()
{
    for (int i = 0; i < m_buttons.size(); ++i) {
        const bool current = i == m_current;
        RoundedBackground background;
        background.cornerRadius = m_look.segmentRadius;
        background.fill = current ? QBrush(m_look.currentFill) : QBrush(Qt::NoBrush);
        m_buttons.at(i)->setBackground(background);
        m_buttons.at(i)->setHoverBackground(background);
        m_symbols.at(i)->setBrush(current ? m_look.currentSymbol : m_look.otherSymbol);
    }
}

void SymbolSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RoundedBackground track;
    track.cornerRadius = m_look.trackRadius;
    track.fill = m_look.track;
    track.paint(painter, rect());
}
