#pragma once

#include <QColor>
#include <QList>
#include <QSize>
#include <QStringList>
#include <QWidget>

class PlainButton;
class StyledSymbol;

// A row of symbol buttons of which one is current, on a rounded track: the
// screens' view-mode switches. A click makes its button current and is
// reported by activated(), also when it already was.
class SymbolSwitch : public QWidget
{
    Q_OBJECT

public:
    struct Look
    {
        QSize segment; // one button
        int symbolSize = 16;
        QColor track;
        int trackRadius = 8;
        int inset = 0; // between the track's edge and the buttons
        QColor currentFill;
        int segmentRadius = 6;
        QColor currentSymbol;
        QColor otherSymbol;
    };

    SymbolSwitch(const QStringList& symbols, const Look& look, QWidget* parent = nullptr);

    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    PlainButton* button(int index) const { return m_buttons.value(index); }
    StyledSymbol* symbol(int index) const { return m_symbols.value(index); }

signals:
    void activated(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void restyle();

    Look m_look;
    QList<PlainButton*> m_buttons;
    QList<StyledSymbol*> m_symbols;
    int m_current = 0;
};
