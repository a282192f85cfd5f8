#include "app/ContentView.h"

#include "app/AppServices.h"
#include "app/MainAppView.h"
#include "app/Onboarding.h"
#include "app/ProcessingView.h"
#include "app/WelcomeView.h"
#include "core/Console.h"
#include "core/Settings.h"
#include "ingest/ScreenshotMonitor.h"
#include "ui/CrossFadeOverlay.h"
#include "ui/StoreProblemBanner.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ContentView::ContentView(AppServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_monitor(services.monitor())
    , m_settings(services.settings())
    , m_hasCompletedOnboarding(Onboarding::isComplete(m_settings))
    // Onboarded without access to a folder the user chose, the first screen
    // is the welcome screen: the main view's gallery would start monitoring
    // whatever folder the settings name before the user had granted it.
    , m_screen(chooseScreen(m_hasCompletedOnboarding && m_monitor.hasFileAccess(), m_monitor.isProcessingBlocking()))
{
    setMinimumSize(minimumContentSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Above every screen: a library that cannot be saved, or was found
    // damaged, concerns all of them.
    layout->addWidget(new StoreProblemBanner(services.store().health(), this));
    m_current = buildScreen(m_screen);
    layout->addWidget(m_current);

    connect(&m_settings, &Settings::keyChanged, this, [this](const QString& key) {
        if (key == Onboarding::key)
            onboardingFlagChanged();
    });
    connect(&m_monitor, &ScreenshotMonitor::isProcessingBlockingChanged, this, &ContentView::scheduleUpdate);
}

ContentView::Screen ContentView::chooseScreen(bool hasCompletedOnboarding, bool isProcessingBlocking)
{
    if (!hasCompletedOnboarding)
        return Screen::welcome;
    return isProcessingBlocking ? Screen::processing : Screen::main;
}

void ContentView::onboardingFlagChanged()
{
    const bool value = Onboarding::isComplete(m_settings);
    if (value == m_hasCompletedOnboarding)
        return;
    m_hasCompletedOnboarding = value;
    if (value) {
        Console::printLine(u"🔓 Onboarding newly completed - Starting Monitor via ContentView"_s);
        m_monitor.startMonitoring();
    }
    scheduleUpdate();
}

void ContentView::scheduleUpdate()
{
    if (!m_pendingAnimation)
        m_pendingAnimation = AnimatedChange::current();
    if (m_updateScheduled)
        return;
    m_updateScheduled = true;
    QMetaObject::invokeMethod(this, &ContentView::updateScreen, Qt::QueuedConnection);
}

void ContentView::updateScreen()
{
    m_updateScheduled = false;
    const std::optional<AnimatedChange::Animation> animation = std::exchange(m_pendingAnimation, std::nullopt);
    const Screen next = chooseScreen(m_hasCompletedOnboarding, m_monitor.isProcessingBlocking());
    if (next == m_screen)
        return;

    QWidget* previous = m_current;
    const bool fade = animation && isVisible() && previous && previous->isVisible();
    const QPixmap picture = fade ? previous->grab() : QPixmap();
    if (previous) {
        layout()->removeWidget(previous);
        previous->hide();
        previous->deleteLater();
    }
    m_screen = next;
    m_current = buildScreen(next);
    layout()->addWidget(m_current);
    // A change at once shows the new screen alone, without an older fade.
    CrossFadeOverlay::endAll(*this);
    if (fade)
        CrossFadeOverlay::fadeOut(this, picture, animation->curve, animation->durationMs);
    Q_EMIT screenChanged(next);
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_hasAppeared) {
        m_hasAppeared = true;
        appear();
    }
}

void ContentView::appear()
{
    Console::printLine(u"📱 ContentView appeared"_s);
    if (!m_hasCompletedOnboarding || m_monitor.hasFileAccess())
        return;
    Console::printLine(u"⚠️ Onboarded but no file access (Bookmark missing/stale). Resetting onboarding."_s);
    Onboarding::setComplete(m_settings, false);
    // Straight to the welcome screen: the remembered folder is gone, and the
    // main view should not flash up first.
    updateScreen();
}

QWidget* ContentView::buildScreen(Screen screen)
{
    switch (screen) {
    case Screen::welcome:
        return new WelcomeView(m_monitor, m_settings, this);
    case Screen::processing:
        return new ProcessingView(m_monitor, m_settings, this);
    case Screen::main:
        return new MainAppView(m_services, this);
    }
    Q_UNREACHABLE();
    return nullptr;
}
