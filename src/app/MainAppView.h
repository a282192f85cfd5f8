#pragma once

#include "app/CollectionRebuilder.h"
#include "core/ImageCache.h"
#include "core/Screenshot.h"
#include "core/SmartCollection.h"
#include "platform/DesktopIntegration.h"
#include "platform/FolderChooser.h"
#include "platform/Trash.h"
#include "ui/AnimatedChange.h"
#include "ui/VideoBackend.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <optional>

class AppServices;
class QAbstractButton;
class ScreenshotMonitor;
class Settings;
class SidebarButton;

// The dashboard once onboarding is done: a sidebar of destinations (the
// library screens, the tools, Settings) beside a detail area that shows the
// chosen screen, or the gallery of an opened collection, over a dark
// backdrop. Owns the smart collections the collection and quick-link screens
// show, rebuilt off the GUI thread as the monitor publishes new lists.
//
// Choosing a destination switches at once; opening and closing a collection
// and applying new collections are animated.
class MainAppView : public QWidget
{
    Q_OBJECT

public:
    enum class SidebarItem { screenshots, smartGroups, quickLinks, reorganizer, spaceSaver, duplicateFinder };
    Q_ENUM(SidebarItem)

    static constexpr int sidebarWidth = 260;

    explicit MainAppView(AppServices& services, QWidget* parent = nullptr);
    ~MainAppView() override;

    ScreenshotMonitor& monitor() const { return m_monitor; }
    std::optional<SidebarItem> selectedItem() const { return m_selectedItem; }
    // The gallery's preview flag; the view only hands it on.
    bool isPreviewActive() const { return m_isPreviewActive; }
    bool isAnalyzing() const { return m_rebuilder.isAnalyzing(); }
    bool isShowingSettings() const { return m_settingsSheet != nullptr; }
    // When set, shown instead of the selected destination.
    const std::optional<SmartCollection>& selectedCollection() const { return m_selectedCollection; }
    // Every collection of the last applied rebuild, in the builder's order.
    const QList<SmartCollection>& collections() const { return m_collections; }

    // Shows the destination's screen at once; closes an open collection.
    void select(SidebarItem item);
    void openCollection(const SmartCollection& collection);
    // The services the tool screens work with; a tool without one shows its
    // name only.
    // Back to the screen of the unchanged destination.
    void closeCollection();
    // Presents the settings as a sheet over the dashboard window.
    void showSettings();

    // A list published by the monitor; may start a rebuild (see
    // CollectionRebuilder for when).
    void screenshotsChanged(const QList<Screenshot>& screenshots);
    void applyCollections(const QList<SmartCollection>& collections);

    // What each screen lists: recap, folder, smart and user-tag collections
    // for Collections, link collections for Quick Links; never a smartGroup.
    static QList<SmartCollection> libraryCollections(const QList<SmartCollection>& collections);
    static QList<SmartCollection> linkCollections(const QList<SmartCollection>& collections);

    // The screen the detail area shows (nullptr for none).
    QWidget* detailWidget() const { return m_detail; }
    SidebarButton* sidebarButton(SidebarItem item) const { return m_buttons.value(item); }
    QAbstractButton* settingsRow() const { return m_settingsRow; }
    QDialog* settingsSheet() const { return m_settingsSheet; }
    CollectionRebuilder& rebuilder() { return m_rebuilder; }

signals:
    void collectionsChanged();
    void detailChanged();

private:
    // What the detail area shows, so that an unchanged screen is kept.
    struct DetailKey
    {
        enum class Kind {
            nothing,
            gallery,
            collectionGallery,
            collections,
            noCollections,
            quickLinks,
            noLinks,
            reorganizer,
            spaceSaver,
            duplicateFinder
        };
        Kind kind = Kind::nothing;
        QUuid collection;

        bool operator==(const DetailKey&) const = default;
    };

    QWidget* buildSidebar();
    QWidget* buildSection(const QString& title, const QList<SidebarItem>& items, int topInset);
    QAbstractButton* buildSettingsRow();
    DetailKey currentDetailKey() const;
    QWidget* buildDetail(const DetailKey& key);
    QWidget* buildGallery(std::optional<SmartCollection> collection);
    void updateDetail(const std::optional<AnimatedChange::Animation>& animation);
    void replaceDetail(const DetailKey& key, const std::optional<AnimatedChange::Animation>& animation);
    void refreshButtons();

    AppServices& m_services;
    ScreenshotMonitor& m_monitor;
    Settings& m_settings;
    std::optional<SidebarItem> m_selectedItem = SidebarItem::screenshots;
    bool m_isPreviewActive = false;
    std::optional<SmartCollection> m_selectedCollection;
    QList<SmartCollection> m_collections;
    CollectionRebuilder m_rebuilder;
    // What the galleries this view builds work with besides the application's
    // services.
    SystemDesktopIntegration m_desktop;
    DialogFolderChooser m_folderChooser;
    MultimediaVideoBackend m_videoBackend;

    QHash<SidebarItem, SidebarButton*> m_buttons;
    QAbstractButton* m_settingsRow = nullptr;
    QPointer<QDialog> m_settingsSheet;
    QWidget* m_detailArea = nullptr;
    QPointer<QWidget> m_detail;
    DetailKey m_detailKey;
};
