#include "core/AppPreferences.h"
#include "core/Settings.h"
#include "support/Capture.h"
#include "support/TestEnvironment.h"
#include "support/Wait.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
class PreferencesTest : public ::testing::Test
{
protected:
    QString settingsPath() const { return m_dir.filePath(u"Glimmerdeck.conf"_s); }
    // Writes the file as another program (or an older version) might have.
    void writeFile(const QByteArray& text)
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray fileText() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

struct LoginItemCalls
{
    QList<bool> requests;
    QString failure; // empty: succeed
};

class FakeLoginItem : public AppPreferences::LoginItemService
{
public:
    explicit FakeLoginItem(std::shared_ptr<LoginItemCalls> calls)
        : m_calls(std::move(calls))
    {}
    bool setRegistered(bool registered, QString& error) override
    {
        m_calls->requests.append(registered);
        error = m_calls->failure;
        return m_calls->failure.isEmpty();
    }

private:
    std::shared_ptr<LoginItemCalls> m_calls;
};
} // namespace

TEST(SettingsLocation, LivesInTheConfigFolderUnderTheOrganisation)
{
    EXPECT_EQ(Settings::defaultFilePath(), TestEnvironment::home() + u"/.config/Brindlework/Glimmerdeck.conf"_s);
}

TEST_F(PreferencesTest, BoolsAreRealBoolsOrTheirTextAndAnythingElseIsAbsent)
{
    writeFile("[General]\n"
              "yes=true\nno=false\nword=yes\nnumber=1\nshouting=TRUE\nempty=\n");
    Settings settings(settingsPath());
    EXPECT_EQ(settings.boolValue(u"yes"_s), true);
    EXPECT_EQ(settings.boolValue(u"no"_s), false);
    for (const QString& key : {u"word"_s, u"number"_s, u"shouting"_s, u"empty"_s, u"missing"_s}) {
        EXPECT_EQ(settings.boolValue(key), std::nullopt) << key.toStdString();
        EXPECT_TRUE(settings.boolValue(key, true));
        EXPECT_FALSE(settings.boolValue(key, false));
    }

    settings.setValue(u"fresh"_s, false);
    EXPECT_EQ(settings.boolValue(u"fresh"_s), false);
    settings.setValue(u"count"_s, 3);
    EXPECT_EQ(settings.boolValue(u"count"_s), std::nullopt);
}

TEST_F(PreferencesTest, WritesAreSavedAtOnceAndAnnouncedPerKey)
{
    Settings settings(settingsPath());
    QSignalSpy changes(&settings, &Settings::keyChanged);
    settings.setValue(u"monitoredPath"_s, u"/home/someone/Desktop"_s);
    settings.setValue(u"folderBookmark"_s, QByteArray("/home/someone/Desktop"));
    settings.setValue(u"hasCompletedOnboarding"_s, true);

    Settings reread(settingsPath());
    EXPECT_EQ(reread.value(u"monitoredPath"_s).toString(), u"/home/someone/Desktop"_s);
    EXPECT_EQ(reread.value(u"folderBookmark"_s).toByteArray(), QByteArray("/home/someone/Desktop"));
    EXPECT_EQ(reread.boolValue(u"hasCompletedOnboarding"_s), true);

    settings.remove(u"monitoredPath"_s);
    settings.remove(u"neverSet"_s); // nothing to remove, nothing to announce
    EXPECT_FALSE(Settings(settingsPath()).contains(u"monitoredPath"_s));

    QStringList keys;
    for (const QList<QVariant>& change : changes)
        keys.append(change.first().toString());
    EXPECT_EQ(keys,
              (QStringList{u"monitoredPath"_s, u"folderBookmark"_s, u"hasCompletedOnboarding"_s, u"monitoredPath"_s}));
}

TEST_F(PreferencesTest, MissingOrWrongTypedValuesGiveTheDefaultsAndNothingIsWrittenAtStart)
{
    Settings settings(settingsPath());
    auto calls = std::make_shared<LoginItemCalls>();
    AppPreferences preferences(settings, std::make_unique<FakeLoginItem>(calls));
    QSignalSpy policy(&preferences, &AppPreferences::dockPolicyApplied);
    EXPECT_TRUE(preferences.showInDock());
    EXPECT_FALSE(preferences.launchAtLogin());
    QCoreApplication::processEvents();
    EXPECT_TRUE(fileText().isEmpty());
    EXPECT_TRUE(calls->requests.isEmpty()); // the login item keeps whatever the desktop holds
    EXPECT_EQ(policy.count(), 0);           // the application applies the policy itself

    writeFile("[General]\nshowInDock=1\nlaunchAtLogin=on\n");
    Settings wrongTyped(settingsPath());
    EXPECT_TRUE(AppPreferences(wrongTyped).showInDock());
    EXPECT_FALSE(AppPreferences(wrongTyped).launchAtLogin());
    writeFile("[General]\nshowInDock=false\nlaunchAtLogin=true\n");
    Settings stored(settingsPath());
    EXPECT_FALSE(AppPreferences(stored).showInDock());
    EXPECT_TRUE(AppPreferences(stored).launchAtLogin());
}

TEST_F(PreferencesTest, EveryDockChangeIsStoredSavedAndAppliedLater)
{
    Settings settings(settingsPath());
    AppPreferences preferences(settings);
    QSignalSpy changed(&preferences, &AppPreferences::showInDockChanged);
    QSignalSpy policy(&preferences, &AppPreferences::dockPolicyApplied);

    preferences.setShowInDock(false);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(Settings(settingsPath()).boolValue(u"showInDock"_s), false);
    EXPECT_EQ(policy.count(), 0); // queued behind the current GUI work
    ASSERT_TRUE(policy.wait(1000));
    EXPECT_FALSE(policy.last().first().toBool());

    // The same value still counts; quick toggles each apply the value current then.
    preferences.setProperty("showInDock", false);
    preferences.setShowInDock(true);
    EXPECT_EQ(changed.count(), 3);
    ASSERT_TRUE(waitUntil([&] { return policy.count() == 3; }));
    EXPECT_TRUE(policy.at(1).first().toBool());
    EXPECT_TRUE(policy.at(2).first().toBool());
}

TEST_F(PreferencesTest, LaunchAtLoginRegistersAndKeepsTheChoiceWhenThatFails)
{
    Settings settings(settingsPath());
    auto calls = std::make_shared<LoginItemCalls>();
    AppPreferences preferences(settings, std::make_unique<FakeLoginItem>(calls));
    ConsoleCapture console;

    preferences.setLaunchAtLogin(true);
    preferences.setLaunchAtLogin(false);
    EXPECT_EQ(calls->requests, (QList<bool>{true, false}));
    EXPECT_TRUE(console.lines().isEmpty());

    calls->failure = u"The autostart folder is read-only"_s;
    QSignalSpy changed(&preferences, &AppPreferences::launchAtLoginChanged);
    preferences.setLaunchAtLogin(true);
    EXPECT_EQ(console.lines(), QStringList{u"Failed to update Launch at Login: The autostart folder is read-only"_s});
    EXPECT_TRUE(preferences.launchAtLogin());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(Settings(settingsPath()).boolValue(u"launchAtLogin"_s), true);
}
