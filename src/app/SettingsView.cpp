#include "app/SettingsView.h"

#include "core/BuildInfo.h"
#include "core/Clock.h"
#include "core/Console.h"
#include "core/GuiThread.h"
#include "ui/AppStyle.h"
#include "ui/PremiumTheme.h"
#include "ui/SymbolRegistry.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

// The resource lives in a static library; referencing its initialiser keeps
// the linker from dropping it.
static void initSettingsResource()
{
    Q_INIT_RESOURCE(settings);
}

namespace {
constexpr int padding = 16;
constexpr int closeSymbolSize = 14;
constexpr int closePadding = 8;

// The desktop's secondary text colour on the dark palette.
QColor secondaryColor()
{
    return QColor::fromRgbF(1, 1, 1, 0.55f);
}

// The rescan button's fill: the brand's indigo a shade darker, so that its
// white label stands out at 6:1 (on the brand colour itself it would not
// quite reach 4.5:1).
const QColor rescanFill(79, 70, 229);
const QColor rescanHover(67, 56, 202);
const QColor rescanPressed(55, 48, 163);

// On the raised page, the brand's indigo a shade lighter: the link reads at
// 5.8:1 (the brand colour itself only reaches 3.9:1), and it rims a ticked
// box so that the box stands out at more than 3:1.
const QColor lightAccent(129, 140, 248);
// An empty box: sunk into the page, rimmed at 4.4:1 against it.
const QColor boxRim(255, 255, 255, 115);
const QColor boxRimHover(255, 255, 255, 166);

// The application's dark look for a window of standard controls: the theme's
// background, a raised panel for the tab pages, quiet tabs with the current
// one lit, white labels, and check boxes drawn to be seen on the panel.
QString settingsStyleSheet()
{
    using namespace PremiumTheme;
    return uR"(
SettingsView { background-color: %1; }
QTabWidget::pane { background-color: %2; border: 1px solid %3; border-radius: 10px; top: -1px; }
QTabWidget::tab-bar { alignment: center; }
QTabBar::tab { background: transparent; color: %4; padding: 6px 14px; margin: 0 2px 6px 2px; border-radius: 6px; }
QTabBar::tab:selected { background-color: %5; color: %6; }
QTabBar::tab:hover:!selected { background-color: %3; color: %6; }
QWidget#settingsPage { background: transparent; }
QLabel { color: %6; }
QLabel#sectionHeader { color: %4; }
QLabel#rescanStatus, QLabel#version { color: %4; }
QCheckBox { color: %6; spacing: 8px; }
QCheckBox::indicator { width: 16px; height: 16px; border: 1px solid %10; border-radius: 4px; background-color: %1; }
QCheckBox::indicator:hover { border-color: %11; }
QCheckBox::indicator:checked { border-color: %12; background-color: %7; image: url(:/settings/check.svg); }
QPushButton#rescan { background-color: %7; color: white; border: none; border-radius: 6px; padding: 6px 16px; }
QPushButton#rescan:hover { background-color: %8; }
QPushButton#rescan:pressed { background-color: %9; }
QPushButton#rescan:focus { outline: none; }
QPushButton#contactSupport { color: %12; border: none; padding: 0; text-align: left; }
)"_s.arg(cssColor(background()), cssColor(surface()), cssColor(glassBorder()), cssColor(textSecondary()),
         cssColor(QColor(255, 255, 255, 26)), cssColor(textPrimary()), cssColor(rescanFill), cssColor(rescanHover),
         cssColor(rescanPressed), cssColor(boxRim), cssColor(boxRimHover), cssColor(lightAccent));
}

std::optional<QString> buildValue(const char* value)
{
    const QString text = QString::fromUtf8(value);
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

// A form page: a section header, its controls, then room to spare.
QWidget* formPage(const QString& header, const QList<QWidget*>& controls, QWidget* footer = nullptr)
{
    auto* page = new QWidget;
    page->setObjectName(u"settingsPage"_s);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(10);
    auto* title = new QLabel(header);
    title->setObjectName(u"sectionHeader"_s);
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    column->addWidget(title);
    for (QWidget* control : controls)
        column->addWidget(control, 0, Qt::AlignLeft);
    if (footer)
        column->addWidget(footer);
    column->addStretch();
    return page;
}
} // namespace

SettingsView::SettingsView(AppPreferences& preferences, ScreenshotMonitor& monitor, DatabaseManager& database,
                           QWidget* parent)
    : QWidget(parent)
    , m_preferences(preferences)
    , m_monitor(monitor)
    , m_database(database)
    , m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
    , m_tabs(new QTabWidget)
{
    initSettingsResource();
    setStyleSheet(settingsStyleSheet());
    setAttribute(Qt::WA_StyledBackground);
    m_tabs->setFixedSize(tabSize);
    m_tabs->addTab(buildGeneralTab(), SymbolRegistry::icon(u"gearshape"_s, Qt::white), u"General"_s);
    m_tabs->addTab(buildDatabaseTab(), SymbolRegistry::icon(u"server.rack"_s, Qt::white), u"Database"_s);
    m_tabs->addTab(buildAccountTab(), SymbolRegistry::icon(u"person.crop.circle.badge.checkmark"_s, Qt::white),
                   u"Account"_s);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->addWidget(m_tabs);
    m_close = buildCloseButton();

    connect(&preferences, &AppPreferences::showInDockChanged, this, &SettingsView::refreshToggles);
    connect(&preferences, &AppPreferences::launchAtLoginChanged, this, &SettingsView::refreshToggles);
    refreshToggles();
}

void SettingsView::setUrlOpener(UrlOpener opener)
{
    m_openUrl = std::move(opener);
}

QWidget* SettingsView::buildGeneralTab()
{
    m_showInDock = new QCheckBox(u"Show in Taskbar (Requires restart in some cases)"_s);
    m_showInDock->setToolTip(u"Turn off to run purely as a tray app."_s);
    connect(m_showInDock, &QCheckBox::clicked, this, [this](bool on) { m_preferences.setShowInDock(on); });
    m_launchAtLogin = new QCheckBox(u"Launch at Login"_s);
    m_launchAtLogin->setToolTip(u"Start Glimmerdeck automatically when you start your computer."_s);
    connect(m_launchAtLogin, &QCheckBox::clicked, this, [this](bool on) { m_preferences.setLaunchAtLogin(on); });
    return formPage(u"App Behavior"_s, {m_showInDock, m_launchAtLogin});
}

QWidget* SettingsView::buildDatabaseTab()
{
    auto* rescan = new QPushButton(u"Rescan Quick Links"_s);
    rescan->setObjectName(u"rescan"_s);
    rescan->setToolTip(u"Forces a rescan to detect new links in your screenshots."_s);
    rescan->setCursor(Qt::PointingHandCursor);
    QFont font = rescan->font();
    font.setWeight(QFont::DemiBold);
    rescan->setFont(font);
    connect(rescan, &QPushButton::clicked, this, &SettingsView::rescanQuickLinks);
    m_rescan = rescan;

    // What the last press did, and when it was done.
    m_rescanStatus = new QLabel;
    m_rescanStatus->setObjectName(u"rescanStatus"_s);
    m_rescanStatus->setTextFormat(Qt::PlainText);
    m_rescanStatus->hide();
    return formPage(u"Manual Operations"_s, {rescan, m_rescanStatus});
}

QWidget* SettingsView::buildAccountTab()
{
    auto* contact = new QPushButton(u"Contact Support"_s);
    contact->setObjectName(u"contactSupport"_s);
    contact->setFlat(true);
    contact->setCursor(Qt::PointingHandCursor);
    connect(contact, &QPushButton::clicked, this, &SettingsView::contactSupport);
    m_contact = contact;

    m_version = new QLabel(versionLine());
    m_version->setObjectName(u"version"_s);
    QFont font = m_version->font();
    font.setPixelSize(11);
    m_version->setFont(font);
    return formPage(u"Support"_s, {contact}, m_version);
}

QAbstractButton* SettingsView::buildCloseButton()
{
    auto* close = new QToolButton(this);
    close->setObjectName(u"close"_s);
    close->setProperty("symbolName", u"xmark"_s);
    close->setIcon(SymbolRegistry::icon(u"xmark"_s, secondaryColor()));
    close->setIconSize(QSize(closeSymbolSize, closeSymbolSize));
    const int size = closeSymbolSize + 2 * closePadding;
    close->setFixedSize(size, size);
    close->setCursor(Qt::PointingHandCursor);
    close->setStyleSheet(
        u"QToolButton { background: rgba(255, 255, 255, 0.1); border: none; border-radius: %1px; }"_s.arg(size / 2));
    connect(close, &QToolButton::clicked, this, &SettingsView::dismissRequested);
    return close;
}

void SettingsView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_close->move(width() - padding - m_close->width(), padding);
    m_close->raise();
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshToggles();
}

void SettingsView::refreshToggles()
{
    m_showInDock->setChecked(m_preferences.showInDock());
    m_launchAtLogin->setChecked(m_preferences.launchAtLogin());
}

void SettingsView::rescanQuickLinks()
{
    Console::printLine(u"🔄 Manual Rescan Triggered"_s);
    ++m_rescansRunning;
    showRescanStatus(u"Rescanning the links of every screenshot…"_s);
    QPointer<SettingsView> self(this);
    m_database.rescanForLinks(false, [self](const DatabaseManager::LinkRescan& outcome) {
        runOnGuiThread([self, outcome] {
            if (self)
                self->rescanFinished(outcome);
        });
    });
    // Timed on the monitor, not on this view: closing the settings must not
    // cancel the reload.
    ScreenshotMonitor* monitor = &m_monitor;
    QTimer::singleShot(rescanRestartDelayMs, monitor, [monitor] { monitor->startMonitoringAsync(true); });
}

void SettingsView::rescanFinished(const DatabaseManager::LinkRescan& outcome)
{
    m_rescansRunning = std::max(0, m_rescansRunning - 1);
    // A later press still running says so until it ends too.
    if (m_rescansRunning > 0)
        return;
    const QString time = Clock::now().toString(u"HH:mm:ss"_s);
    if (!outcome.written) {
        showRescanStatus(u"Rescan stopped at %1: the library could not be written."_s.arg(time));
        return;
    }
    const QString found =
        outcome.rowsWithLinks == 1 ? u"1 screenshot"_s : u"%1 screenshots"_s.arg(outcome.rowsWithLinks);
    showRescanStatus(u"Rescan finished at %1: %2 with links."_s.arg(time, found));
}

void SettingsView::showRescanStatus(const QString& text)
{
    m_rescanStatus->setText(text);
    m_rescanStatus->show();
}

void SettingsView::contactSupport()
{
    const std::optional<QUrl> url = supportMailUrl(QString::fromUtf8(GLIMMERDECK_SUPPORT_RECIPIENTS));
    if (url && m_openUrl)
        m_openUrl(*url);
}

QString SettingsView::versionLine(const std::optional<QString>& version, const std::optional<QString>& build)
{
    return u"Glimmerdeck v%1 (%2)"_s.arg(version.value_or(u"1.1"_s), build.value_or(u"1"_s));
}

QString SettingsView::versionLine()
{
    return versionLine(buildValue(GLIMMERDECK_VERSION), buildValue(GLIMMERDECK_BUILD));
}

std::optional<QUrl> SettingsView::supportMailUrl(const QString& recipients)
{
    static const QRegularExpression address(u"^[^@\\s,;?&#/:<>\"]+@[^@\\s,;?&#/:<>\"]+$"_s);
    QStringList addresses;
    for (const QString& part : recipients.split(u',')) {
        const QString trimmed = part.trimmed();
        if (!address.match(trimmed).hasMatch())
            return std::nullopt;
        addresses.append(trimmed);
    }
    QUrl url(u"mailto:"_s + addresses.join(u','), QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}
