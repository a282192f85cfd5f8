#pragma once

#include <QWidget>

class ConfettiView;

// One window showing the theme: colour and type tokens, the gradient, the
// spring curves, every symbol, and each visual component over the app's
// glowing dark backdrop.
class ComponentGallery : public QWidget
{
    Q_OBJECT

public:
    explicit ComponentGallery(QWidget* parent = nullptr);

    // Lets the confetti fall for a number of ticks, so a still shows it mid-air.
    void advanceConfetti(int ticks);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ConfettiView* m_confetti;
};
