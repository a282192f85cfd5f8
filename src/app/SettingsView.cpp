#include "app/SettingsView.h"

#include "core/BuildInfo.h"
#include "core/Console.h"
#include "ui/SymbolRegistry.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
constexpr int padding = 16;
constexpr int closeSymbolSize = 14;
constexpr int closePadding = 8;

// The desktop's secondary text colour on the dark palette.
QColor secondaryColor()
{
    return QColor::fromRgbF(1, 1, 1, 0.55f);
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
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(10);
    auto* title = new QLabel(header);
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
    rescan->setDefault(true);
    rescan->setToolTip(u"Forces a rescan to detect new links in your screenshots."_s);
    QPalette palette = rescan->palette();
    palette.setColor(QPalette::Button, palette.color(QPalette::Highlight));
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::HighlightedText));
    rescan->setPalette(palette);
    connect(rescan, &QPushButton::clicked, this, &SettingsView::rescanQuickLinks);
    m_rescan = rescan;
    return formPage(u"Manual Operations"_s, {rescan});
}

QWidget* SettingsView::buildAccountTab()
{
    auto* contact = new QPushButton(u"Contact Support"_s);
    contact->setObjectName(u"contactSupport"_s);
    contact->setFlat(true);
    contact->setCursor(Qt::PointingHandCursor);
    contact->setStyleSheet(u"QPushButton { color: palette(link); border: none; padding: 0; text-align: left; }"_s);
    connect(contact, &QPushButton::clicked, this, &SettingsView::contactSupport);
    m_contact = contact;

    m_version = new QLabel(versionLine());
    m_version->setObjectName(u"version"_s);
    QFont font = m_version->font();
    font.setPixelSize(11);
    m_version->setFont(font);
    QPalette palette = m_version->palette();
    palette.setColor(QPalette::WindowText, secondaryColor());
    m_version->setPalette(palette);
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
    m_database.rescanForLinks(false);
    // Timed on the monitor, not on this view: closing the settings must not
    // cancel the reload.
    ScreenshotMonitor* monitor = &m_monitor;
    QTimer::singleShot(rescanRestartDelayMs, monitor, [monitor] { monitor->startMonitoringAsync(true); });
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
