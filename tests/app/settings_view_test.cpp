#include "ScreenFixture.h"

#include "app/SettingsView.h"
#include "core/BuildInfo.h"
#include "platform/LoginItem.h"
#include "support/Wait.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
class SettingsWindow : public ScreenFixture
{
protected:
    SettingsWindow()
        : m_preferences(settings(), std::make_unique<LoginItem>(u"/usr/bin/glimmerdeck"_s))
    {}

    std::unique_ptr<SettingsView> makeView()
    {
        auto view = std::make_unique<SettingsView>(m_preferences, *m_monitor, services().store());
        view->show();
        return view;
    }

    static void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    AppPreferences m_preferences;
};

const QString forcedStart = u"🔄 FORCE Reloading monitoring data..."_s;
} // namespace

TEST_F(SettingsWindow, TogglesWriteThePreferencesAndTheAutostartEntry)
{
    auto view = makeView();
    const QString entry = LoginItem::desktopFilePath();
    EXPECT_TRUE(view->showInDockToggle()->isChecked());
    EXPECT_FALSE(view->launchAtLoginToggle()->isChecked());

    click(view->launchAtLoginToggle());
    EXPECT_TRUE(m_preferences.launchAtLogin());
    EXPECT_EQ(settings().boolValue(AppPreferences::launchAtLoginKey), std::optional<bool>(true));
    EXPECT_TRUE(QFileInfo::exists(entry));
    click(view->launchAtLoginToggle());
    EXPECT_EQ(settings().boolValue(AppPreferences::launchAtLoginKey), std::optional<bool>(false));
    EXPECT_FALSE(QFileInfo::exists(entry));

    QSignalSpy applied(&m_preferences, &AppPreferences::dockPolicyApplied);
    click(view->showInDockToggle());
    EXPECT_EQ(settings().boolValue(AppPreferences::showInDockKey), std::optional<bool>(false));
    ASSERT_TRUE(waitUntil([&applied] { return applied.count() == 1; }));
    EXPECT_FALSE(applied.first().at(0).toBool());

    // Changes made elsewhere show at once.
    m_preferences.setShowInDock(true);
    EXPECT_TRUE(view->showInDockToggle()->isChecked());
}

TEST_F(SettingsWindow, EachRescanPressReloadsTheMonitorASecondLaterEvenWhenClosed)
{
    auto view = makeView();
    QElapsedTimer clock;
    clock.start();
    click(view->rescanButton());
    click(view->rescanButton());
    EXPECT_EQ(m_console.matching(u"🔄 Manual Rescan Triggered"_s).size(), 2);
    EXPECT_TRUE(m_console.matching(forcedStart).isEmpty());

    view.reset(); // the window is closed before the reloads are due
    ASSERT_TRUE(waitUntil([this] { return m_console.matching(forcedStart).size() == 2; }, 5000));
    EXPECT_GE(clock.elapsed(), SettingsView::rescanRestartDelayMs);
}

TEST_F(SettingsWindow, ContactSupportOpensAMailToTheConfiguredMailboxes)
{
    auto view = makeView();
    QList<QUrl> opened;
    view->setUrlOpener([&opened](const QUrl& url) {
        opened.append(url);
        return true;
    });
    click(view->contactButton());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().scheme(), u"mailto"_s);
    EXPECT_EQ(opened.first(), SettingsView::supportMailUrl(QString::fromUtf8(GLIMMERDECK_SUPPORT_RECIPIENTS)));
    EXPECT_EQ(opened.first().path().split(u',').size(), 2);
}

TEST(SupportMail, OnlyPlainAddressesMakeALink)
{
    EXPECT_EQ(SettingsView::supportMailUrl(u"a@b.org, help@c.org"_s), QUrl(u"mailto:a@b.org,help@c.org"_s));
    for (const QString& bad :
         {u""_s, u"  "_s, u"a@b.org,"_s, u"nobody"_s, u"a@b.org?cc=x@y.org"_s, u"a@b.org&body=hi"_s, u"a b@c.org"_s})
        EXPECT_FALSE(SettingsView::supportMailUrl(bad)) << bad.toStdString();
}

TEST(VersionLine, MissingPartsFallBack)
{
    EXPECT_EQ(SettingsView::versionLine(u"2.0"_s, u"15"_s), u"Glimmerdeck v2.0 (15)"_s);
    EXPECT_EQ(SettingsView::versionLine(std::nullopt, std::nullopt), u"Glimmerdeck v1.1 (1)"_s);
    EXPECT_TRUE(SettingsView::versionLine().startsWith(u"Glimmerdeck v"_s + QString::fromUtf8(GLIMMERDECK_VERSION)));
}

TEST_F(SettingsWindow, TabsAndTextsUseTheDesktopsWords)
{
    auto view = makeView();
    QSignalSpy dismissed(view.get(), &SettingsView::dismissRequested);
    QTabWidget* tabs = view->tabs();
    EXPECT_EQ(tabs->size(), SettingsView::tabSize);
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), u"General"_s);
    EXPECT_EQ(tabs->tabText(1), u"Database"_s);
    EXPECT_EQ(tabs->tabText(2), u"Account"_s);
    EXPECT_EQ(view->versionLabel()->text(), SettingsView::versionLine());

    for (QWidget* widget : view->findChildren<QWidget*>()) {
        QString text = widget->toolTip();
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            text += button->text();
        for (const QString& word : {u"Mac"_s, u"Dock"_s, u"Menu Bar"_s, u"Finder"_s})
            EXPECT_FALSE(text.contains(word)) << text.toStdString();
    }
    click(view->closeButton());
    EXPECT_EQ(dismissed.count(), 1);
}
