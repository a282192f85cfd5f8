#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QMargins>

// A text in a filled, outlined capsule, with an optional symbol before it and
// an optional remove button after it. It is a button: connect clicked() for
// chips that act; the others simply leave it unconnected. Long texts are
// shortened in the middle (the whole text is the tooltip).
class CapsuleChip : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName)

public:
    struct Style
    {
        QFont font;
        QColor foreground = Qt::white;
        QColor fill = Qt::transparent;
        QColor stroke = Qt::transparent;
        QString symbol;     // before the text; none when empty
        int symbolSize = 0; // logical pixels; the font's pixel size when 0
        QColor symbolColor; // the foreground when invalid
        int spacing = 6;    // between symbol, text and remove button
        QMargins padding{10, 5, 10, 5};
        qreal cornerRadius = -1; // a capsule when negative
        bool fillsWidth = false; // content stays leading when given more room
    };

    static constexpr int maxTextWidth = 240;

    CapsuleChip(const QString& text, Style style, QWidget* parent = nullptr);

    const Style& style() const { return m_style; }
    QString symbolName() const { return m_style.symbol; }
    void setSymbol(const QString& symbol);
    void setLabel(const QString& text);

    // A trailing button drawing `symbol`; the chip owns it.
    QAbstractButton* addRemoveButton(const QString& symbol, int symbolSize, const QColor& color);
    QAbstractButton* removeButton() const { return m_removeButton; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int symbolExtent() const;
    int textWidth() const;
    void updateToolTip();

    Style m_style;
    QAbstractButton* m_removeButton = nullptr;
};
