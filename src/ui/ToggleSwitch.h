#pragma once

#include <QAbstractButton>

// The desktop's on/off switch: a pill whose knob slides right and fills with
// the accent colour when on. Checkable; toggled(bool) reports changes.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override { return QSize(38, 22); }

protected:
    void paintEvent(QPaintEvent* event) override;
};
