#pragma once

#include <QBrush>
#include <QWidget>

#include <optional>

// A symbol that is styled like text: unless given its own, it takes its size
// from the font's pixel size and its colour from the palette's window text,
// both inherited from the widget it sits in. A brush (such as the primary
// gradient) may paint it instead of a plain colour.
class StyledSymbol : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString symbolName READ symbolName WRITE setSymbolName)

public:
    explicit StyledSymbol(const QString& symbolName, QWidget* parent = nullptr);
    StyledSymbol(const QString& symbolName, const QBrush& brush, int symbolSize, QWidget* parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    void setSymbolName(const QString& name);
    void setBrush(const QBrush& brush);
    void setSymbolSize(int size);

    int symbolSize() const;
    // What the symbol is painted with at the moment.
    QBrush effectiveBrush() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_symbolName;
    std::optional<QBrush> m_brush;
    std::optional<int> m_symbolSize;
};
