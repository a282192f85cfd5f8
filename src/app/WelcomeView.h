#pragma once

#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

class AppSymbolView;
class ConfettiView;
class PremiumGlassCard;
class ScreenshotMonitor;
class Settings;
class WelcomeActionButton;

// The onboarding screen: introduces the application on a slowly moving
// background and asks for the folder to monitor. Once the monitor holds
// access it celebrates with confetti and, two seconds later, marks onboarding
// complete (the root view then moves on). Choosing the folder, storing it and
// restarting the monitor all happen inside the monitor's own request.
class WelcomeView : public QWidget
{
    Q_OBJECT
    // 0 before the entrance, 1 once the card has risen into place.
    Q_PROPERTY(qreal entranceProgress READ entranceProgress WRITE setEntranceProgress)

public:
    static constexpr QSize cardSize{500, 600};
    static constexpr int completionDelayMs = 2000;
    static constexpr int entranceMs = 800;
    static constexpr int entranceRise = 40;

    WelcomeView(ScreenshotMonitor& monitor, Settings& settings, QWidget* parent = nullptr);

    // The button's action: asks the monitor for folder access (a modal chooser
    // when none is held) and celebrates when access is held afterwards.
    void chooseFolder();

    bool isShowingConfetti() const;
    WelcomeActionButton* actionButton() const { return m_button; }
    PremiumGlassCard* card() const { return m_card; }
    qreal entranceProgress() const { return m_entranceProgress; }
    void setEntranceProgress(qreal progress);

    // The background's three glows at `t` seconds since 1 January 2001 UTC:
    // centre offsets from the middle of the screen and scale factors.
    struct Glow
    {
        QPointF offset;
        qreal scale = 1;
    };
    static std::array<Glow, 3> backgroundGlows(double t);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildCardContent();
    void placeCard();
    void showConfetti();
    void completeOnboarding();

    ScreenshotMonitor& m_monitor;
    Settings& m_settings;
    PremiumGlassCard* m_card;
    AppSymbolView* m_symbol = nullptr;
    WelcomeActionButton* m_button = nullptr;
    QPointer<ConfettiView> m_confetti;
    QTimer m_frameTimer;
    qreal m_entranceProgress = 0;
    bool m_hasEntered = false;
};
