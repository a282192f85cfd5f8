#pragma once


#include "ui/AnimatedChange.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class AppServices;
class ScreenshotMonitor;
class Settings;

// The dashboard window's content: the welcome screen until a folder has been
// chosen, the processing screen while the monitor's first run blocks, and the
// main view otherwise. Starts monitoring when onboarding completes, and sends
// the user back to the welcome screen when the remembered folder cannot be
// opened any more.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    enum class Screen { welcome, processing, main };
    Q_ENUM(Screen)

    static constexpr QSize minimumContentSize{800, 600};

    explicit ContentView(AppServices& services, QWidget* parent = nullptr);

    static Screen chooseScreen(bool hasCompletedOnboarding, bool isProcessingBlocking);

    // For the main view's tool screens, now and whenever it is built again.

    Screen currentScreen() const { return m_screen; }
    QWidget* currentWidget() const { return m_current; }

signals:
    void screenChanged(ContentView::Screen screen);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onboardingFlagChanged();
    // Changes that arrive together (the processing screen's Cancel writes
    // several) are applied once, on the next turn of the event loop, so no
    // screen is built for a state that only lasted for one of them.
    void scheduleUpdate();
    void updateScreen();
    void appear();
    QWidget* buildScreen(Screen screen);

    AppServices& m_services;
    ScreenshotMonitor& m_monitor;
    Settings& m_settings;
    bool m_hasCompletedOnboarding;
    bool m_hasAppeared = false;
    bool m_updateScheduled = false;
    std::optional<AnimatedChange::Animation> m_pendingAnimation;
    Screen m_screen;
    QPointer<QWidget> m_current;
};
