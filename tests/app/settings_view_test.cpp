#include "ScreenFixture.h"

#include "app/SettingsView.h"
#include "core/BuildInfo.h"
#include "platform/LoginItem.h"
#include "support/Contrast.h"
#include "support/Wait.h"
#include "ui/AppStyle.h"
#include "ui/PremiumTheme.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTest>

#include <cmath>

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
    grantFolder();
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

TEST_F(SettingsWindow, ARescanSaysItRunsAndWhenItFinished)
{
    grantFolder();
    DatabaseManager& store = services().store();
    const Screenshot linked(m_folder + u"/a.png"_s, QUuid::createUuid());
    ASSERT_TRUE(store.upsert(linked));
    ASSERT_TRUE(store.updateMetadataBatch({{linked.id, u"see https://example.com"_s, {}, QList<double>{}, {}}}));

    auto view = makeView();
    QLabel* status = view->rescanStatusLabel();
    view->tabs()->setCurrentIndex(1);
    EXPECT_FALSE(status->isVisible()) << "nothing to say before the first press";
    click(view->rescanButton());
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->text().startsWith(u"Rescanning"_s)) << status->text().toStdString();

    ASSERT_TRUE(waitUntil([&] { return status->text().startsWith(u"Rescan finished at "_s); }));
    EXPECT_TRUE(status->text().endsWith(u": 1 screenshot with links."_s)) << status->text().toStdString();
    const QString time = status->text().section(u' ', 3, 3).chopped(1);
    EXPECT_TRUE(QTime::fromString(time, u"HH:mm:ss"_s).isValid()) << time.toStdString();
    EXPECT_EQ(store.fetchByPath(linked.filePath)->detectedUrls, QList<QUrl>{QUrl(u"https://example.com"_s)});

    // The window may close before the rescan ends; nothing is shown then.
    click(view->rescanButton());
    view.reset();
    store.dbQueue().sync([] {});
    // The links are stored as found again: nothing is rewritten.
    ASSERT_TRUE(waitUntil([&] { return m_console.contains(u"🔗 Found 0 screenshots with new links to backfill."_s); }));
}

TEST_F(SettingsWindow, DarkLikeTheRestWithARescanButtonThatReads)
{
    auto view = makeView();
    view->resize(view->sizeHint());
    QTabWidget* tabs = view->tabs();
    for (int tab = 0; tab < tabs->count(); ++tab) {
        SCOPED_TRACE(tabs->tabText(tab).toStdString());
        tabs->setCurrentIndex(tab);
        const QImage window = view->grab().toImage();
        EXPECT_EQ(window.pixelColor(3, 3), PremiumTheme::background());
        // Inside the page, away from its controls.
        const QRect page = tabs->geometry();
        EXPECT_LT(window.pixelColor(page.right() - 12, page.bottom() - 12).lightness(), 60);
        for (QLabel* label : tabs->currentWidget()->findChildren<QLabel*>())
            EXPECT_GT(label->palette().color(label->foregroundRole()).lightness(), 120) << label->text().toStdString();
    }

    tabs->setCurrentIndex(1);
    const QImage button = view->rescanButton()->grab().toImage();
    const QColor fill = button.pixelColor(8, button.height() / 2);
    double best = 0;
    for (int y = 0; y < button.height(); ++y)
        for (int x = 0; x < button.width(); ++x)
            best = std::max(best, contrast(fill, button.pixelColor(x, y)));
    EXPECT_GE(best, 4.5) << "label on " << fill.name().toStdString();
    EXPECT_GT(fill.saturation(), 100) << "still the brand's indigo";
}

namespace {
// The strongest contrast against `page` of any pixel of `area` in `image`:
// a text's or an outline's own colour, whatever its edges blend into.
double strongestContrast(const QImage& image, const QRect& area, const QColor& page)
{
    double best = 1;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            best = std::max(best, contrast(page, image.pixelColor(x, y)));
    return best;
}

// The application's dark look for the life of a test, as main() sets it.
class DarkLook
{
public:
    DarkLook()
        : m_palette(QApplication::palette())
        , m_font(QApplication::font())
        , m_styleSheet(qApp->styleSheet())
        , m_style(QApplication::style()->name())
    {
        applyDarkStyle(*qApp);
    }
    ~DarkLook()
    {
        qApp->setStyleSheet(m_styleSheet);
        QApplication::setPalette(m_palette);
        QApplication::setFont(m_font);
        QApplication::setStyle(m_style);
    }

private:
    QPalette m_palette;
    QFont m_font;
    QString m_styleSheet;
    QString m_style;
};

QRect checkIndicator(const QCheckBox& box)
{
    QStyleOptionButton option;
    option.initFrom(&box);
    return box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
}
} // namespace

// Every control can be told from the page (outlines at 3:1 or more) and every
// text read on it (4.5:1 or more), measured on the colours drawn.
TEST_F(SettingsWindow, ControlsAndTextsStandOutOnThePage)
{
    DarkLook look;
    auto view = makeView();
    view->resize(view->sizeHint());
    QTabWidget* tabs = view->tabs();
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QWidget* page = tabs->currentWidget();
        for (const bool checked : {false, true}) {
            SCOPED_TRACE(tabs->tabText(tab).toStdString() + (checked ? ", ticked" : ", empty"));
            for (QCheckBox* box : page->findChildren<QCheckBox*>())
                box->setChecked(checked);
            const QImage window = view->grab().toImage();
            const QRect pageArea = tabs->geometry();
            const QColor pageColor = window.pixelColor(pageArea.right() - 12, pageArea.bottom() - 12);
            const auto inWindow = [&](const QWidget* widget, const QRect& rect) {
                return QRect(widget->mapTo(view.get(), rect.topLeft()), rect.size());
            };

            for (QCheckBox* box : page->findChildren<QCheckBox*>()) {
                const QRect indicator = inWindow(box, checkIndicator(*box));
                ASSERT_FALSE(indicator.isEmpty());
                // The box's rim: its left and top edges, a pixel either way.
                const QRect left(indicator.left() - 1, indicator.center().y() - 1, 3, 3);
                const QRect top(indicator.center().x() - 1, indicator.top() - 1, 3, 3);
                EXPECT_GE(
                    std::min(strongestContrast(window, left, pageColor), strongestContrast(window, top, pageColor)),
                    3.0)
                    << box->text().toStdString();
                const QRect text = inWindow(box, box->rect()).adjusted(indicator.width() + 4, 0, 0, 0);
                EXPECT_GE(strongestContrast(window, text, pageColor), 4.5) << box->text().toStdString();
            }
            QList<QWidget*> texts;
            for (QLabel* label : page->findChildren<QLabel*>())
                texts.append(label);
            for (QPushButton* button : page->findChildren<QPushButton*>())
                if (button != view->rescanButton()) // on a fill of its own, checked above
                    texts.append(button);
            for (QWidget* text : texts) {
                if (!text->isVisible())
                    continue;
                EXPECT_GE(strongestContrast(window, inWindow(text, text->rect()), pageColor), 4.5)
                    << text->objectName().toStdString();
            }
        }
    }
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
