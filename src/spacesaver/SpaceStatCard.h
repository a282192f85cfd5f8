#pragma once

#include <QColor>
#include <QString>

#include "ui/RoundedPanel.h"

class QLabel;

// One small figure of the analytics card: a tinted tile with a symbol, the
// value and its caption.
class SpaceStatCard : public RoundedPanel
{
    Q_OBJECT

public:
    SpaceStatCard(const QString& icon, const QString& label, const QColor& color, QWidget* parent = nullptr);

    void setValue(const QString& value);
    QString value() const;
    QString label() const;

private:
    QLabel* m_value;
    QLabel* m_label;
};
