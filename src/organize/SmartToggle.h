#pragma once

#include <QColor>
#include <QWidget>

class QLabel;
class ToggleSwitch;

// One setting: a tinted icon tile, a title over a subtitle, and a switch.
// While disabled the row is dimmed and its switch cannot be changed.
class SmartToggle : public QWidget
{
    Q_OBJECT

public:
    SmartToggle(const QString& icon, const QString& title, const QString& subtitle, const QColor& accentColor,
                QWidget* parent = nullptr);

    void setOn(bool on);
    bool isOn() const;
    void setIsDisabled(bool disabled);
    bool isDisabled() const { return m_isDisabled; }
    ToggleSwitch* toggle() const { return m_switch; }
    QString title() const;

signals:
    void switched(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_accent;
    bool m_isDisabled = false;
    QLabel* m_title;
    ToggleSwitch* m_switch;
};
