#pragma once

#include "core/LibrarySource.h"
#include "core/QuietTimer.h"
#include "core/Scheduler.h"
#include "core/Screenshot.h"
#include "core/SmartCollection.h"
#include "library/GallerySearch.h"
#include "library/SearchIndex.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DatabaseManager;
class Settings;
class Trash;
class Workers;

// The state behind a gallery: a local copy of the monitor's library, the day
// sections or search results that the grid shows, and the grid's selection.
// Every screen owns its own instance (the dashboard one, the tray popup
// another); instances share the monitor and nothing else.
//
// Lives on the GUI thread. Each property is stored before its change signal
// is emitted and before its change rule runs; the monitor's values reach the
// model on a later turn of the event loop, in the order they were published.
class GalleryViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QList<Screenshot> screenshots READ screenshots WRITE setScreenshots NOTIFY screenshotsChanged)
    Q_PROPERTY(QList<GalleryViewModel::GallerySection> sections READ sections WRITE setSections NOTIFY sectionsChanged)
    Q_PROPERTY(QSet<QUuid> selectedIds READ selectedIds WRITE setSelectedIds NOTIFY selectedIdsChanged)
    Q_PROPERTY(bool isSelectionMode READ isSelectionMode WRITE setIsSelectionMode NOTIFY isSelectionModeChanged)
    Q_PROPERTY(bool isMonitoring READ isMonitoring WRITE setIsMonitoring NOTIFY isMonitoringChanged)
    Q_PROPERTY(QString monitoredPath READ monitoredPath WRITE setMonitoredPath NOTIFY monitoredPathChanged)
    Q_PROPERTY(bool needsPermission READ needsPermission WRITE setNeedsPermission NOTIFY needsPermissionChanged)

public:
    // One group of the grid; its title is its identity and unique per list.
    struct GallerySection
    {
        QString title;
        QList<Screenshot> screenshots;

        bool operator==(const GallerySection& other) const
        {
            return title == other.title && screenshots == other.screenshots;
        }
    };

    // What a deletion did, for the gallery screen to tell the user.
    struct DeletionResult
    {
        struct FileError
        {
            QString filename;
            QString error;
        };

        int deleted = 0; // moved to the Trash, or already gone from disk
        int failed = 0;  // still on disk (or not in the list at all)
        QList<FileError> errors;
    };

    // What a gallery works with, owned by the application and outliving it.
    struct Services
    {
        LibrarySource& library;
        DatabaseManager& store;
        Trash& trash;
        // Where the folder's bookmark is kept, for deletion without held access.
        Settings& settings;
        Workers& workers;
        std::shared_ptr<const GallerySearch> search;
        // Runs the model's delays; the event loop's timers when null.
        Scheduler* scheduler = nullptr;
    };

    // How long a pause in searching (or scrolling its grid) lasts before
    // what was kept for going on is let go.
    static constexpr std::chrono::milliseconds browsingPause{10000};

    explicit GalleryViewModel(const Services& services, QObject* parent = nullptr);
    ~GalleryViewModel() override;

    LibrarySource& library() const { return m_services.library; }
    // What runs the model's delays, and its views'.
    Scheduler& scheduler() const;
    // The application's pools, for views that work on the model's list.
    Workers& workers() const { return m_services.workers; }

    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    const QList<Screenshot>& screenshots() const { return m_screenshots; }
    void setScreenshots(QList<Screenshot> screenshots);
    const QList<GallerySection>& sections() const { return m_sections; }
    void setSections(QList<GallerySection> sections);
    const QSet<QUuid>& selectedIds() const { return m_selectedIds; }
    void setSelectedIds(QSet<QUuid> ids);
    bool isSelectionMode() const { return m_isSelectionMode; }
    // Leaving selection mode empties the selection; entering keeps it.
    void setIsSelectionMode(bool value);
    // Kept for the screens; the model itself never changes it.
    bool isMonitoring() const { return m_isMonitoring; }
    void setIsMonitoring(bool value);
    const QString& monitoredPath() const { return m_monitoredPath; }
    void setMonitoredPath(const QString& path);
    bool needsPermission() const { return m_needsPermission; }
    void setNeedsPermission(bool value);
    // When set, only its members are shown or searched. Its test runs on a
    // worker thread, like every rebuild.
    // Keeps the search index of the current library ready on a worker, for
    // the gallery that is searched most; off by default, since each model
    // with one holds its own.
    void setPreparesSearch(bool prepares);
    const std::optional<SmartCollection>& activeCollection() const { return m_activeCollection; }
    void setActiveCollection(std::optional<SmartCollection> collection);

    // Day sections when the search text is empty (a blank is not empty),
    // built before this returns; else one section of search results, built
    // off the GUI thread, replacing the old ones on a later turn of the event
    // loop unless a newer rebuild has started meanwhile. Rebuilds after a
    // publish of the library always run off the GUI thread.
    void updateSections();
    // An edit made in this screen (tags, notes); an unknown id changes nothing.
    void updateScreenshot(const Screenshot& screenshot);
    // Every shown screenshot, section after section.
    QList<Screenshot> visibleScreenshots() const;

    // Moves the selected files to the Trash and drops their rows from the
    // store, on a worker. When it is done, on the GUI thread: only what really
    // left the disk (and the store) leaves the list and the sections, the
    // deleted ids leave the selection, and then `done` gets the result.
    // Asked while another deletion runs, it runs after that one, for the
    // selection as it was when asked.
    void deleteSelected(std::function<void(const DeletionResult&)> done = {});
    bool isDeleting() const { return m_isDeleting; }

    // "Today", "Yesterday", then one section per date ("MMMM d, yyyy" in the
    // default locale), newest first; `today` is a date of the local zone.
    static QList<GallerySection> groupByDay(const QList<Screenshot>& candidates, const QDate& today);

signals:
    void searchTextChanged(const QString& text);
    void screenshotsChanged();
    void sectionsChanged();
    void selectedIdsChanged();
    void isSelectionModeChanged(bool value);
    void isMonitoringChanged(bool value);
    void monitoredPathChanged(const QString& path);
    void needsPermissionChanged(bool value);
    void activeCollectionChanged();
    void deletionFinished(const GalleryViewModel::DeletionResult& result);

private:
    friend struct GalleryViewModelTestAccess;

    // A deletion asked for while another ran.
    struct PendingDeletion
    {
        QSet<QUuid> ids;
        std::function<void(const DeletionResult&)> done;
    };

    struct UserData
    {
        QStringList customTags;
        std::optional<QString> userNotes;
    };

    // What one rebuild works from, taken on the GUI thread.
    struct RebuildInput
    {
        QString searchText;
        QList<Screenshot> screenshots;
        std::optional<SmartCollection> collection;
        QDate today;
        std::shared_ptr<const GallerySearch> search;
        std::shared_ptr<SearchIndex::Cache> searchIndex;
        quint64 libraryGeneration = 0;
    };

    void setupBindings();
    void releaseSearchMemory();
    void scheduleSearchPreparation();
    void prepareSearch();
    void mergeIncomingScreenshots(const QList<Screenshot>& incoming);
    void screenshotsDidChange();
    void cancelRebuild();
    RebuildInput rebuildInput() const;
    void rebuildNow();
    void rebuildInBackground();
    static QList<GallerySection> buildSections(const RebuildInput& input, const std::atomic<bool>& cancelled);
    static QList<Screenshot> membersOf(const QList<Screenshot>& library, const std::vector<qsizetype>& members);
    void startDeletion(const QSet<QUuid>& ids, std::function<void(const DeletionResult&)> done);
    void startPendingDeletion();
    void applyDeletion(const QSet<QUuid>& removed);
    void scheduleDayChange();

    Services m_services;
    QString m_searchText;
    QList<Screenshot> m_screenshots;
    QList<GallerySection> m_sections;
    QSet<QUuid> m_selectedIds;
    bool m_isSelectionMode = false;
    bool m_isMonitoring = false;
    QString m_monitoredPath;
    bool m_needsPermission = false;
    std::optional<SmartCollection> m_activeCollection;
    bool m_isDeleting = false;
    QSet<QUuid> m_deletingIds;
    QList<PendingDeletion> m_pendingDeletions;
    // The folded texts of the library as of a generation, kept between
    // searches; every change of `m_screenshots` starts a new generation.
    std::shared_ptr<SearchIndex::Cache> m_searchIndex;
    quint64 m_libraryGeneration = 0;
    // The index is made ready once the library has stopped changing, so that
    // the first keystroke of a search does not wait for it.
    bool m_preparesSearch = false;
    QTimer m_searchPreparation;
    std::shared_ptr<std::atomic<bool>> m_preparationCancelled;
    // Poked by each search answered.
    QuietTimer m_searchPause;
    // Edits of this screen that the monitor has not published back yet.
    QHash<QUuid, UserData> m_localEdits;
    // Raised to drop the rebuild (day sections or search) that is running or
    // last ran.
    std::shared_ptr<std::atomic<bool>> m_rebuildCancelled;
    // Fires at the next local midnight, when "Today" becomes "Yesterday".
    QTimer m_dayTimer;
};
