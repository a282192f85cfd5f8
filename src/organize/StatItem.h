#pragma once

#include <QColor>
#include <QWidget>

class QLabel;

// One library count: a tinted symbol, the number and its caption in capitals,
// on a faint card of the same tint that takes the width it is offered.
class StatItem : public QWidget
{
    Q_OBJECT

public:
    StatItem(const QString& icon, const QString& label, const QColor& color, QWidget* parent = nullptr);

    void setValue(const QString& value);
    QString value() const;
    QString label() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    QLabel* m_value;
    QLabel* m_label;
};
