#pragma once

#include "core/Scheduler.h"
#include "core/Screenshot.h"
#include "core/UserDataLimits.h"

#include <QImage>
#include <QStringList>
#include <QThreadPool>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class CapsuleChip;
class DatabaseManager;
class ElidedLabel;
class FlowLayout;
class QAbstractButton;
class QBoxLayout;
class QLabel;
class QLineEdit;
class QScrollArea;
class QStackedLayout;
class QTextEdit;
class QVBoxLayout;
class RoundedPanel;
class ScreenshotMonitor;
class SymbolLabel;

// The "Metadata Lens": a side panel showing everything known about one
// screenshot (recognised text, links, visual labels, file facts) where the
// user edits its custom tags and note. Every edit is written to the store,
// then handed to the host (onScreenshotUpdated) and to the monitor's live
// list; a failed write is shown in the panel and passed on to nobody.
//
// A note is saved half a second after the last keystroke. A note still
// waiting when another screenshot arrives, when the panel hides or goes away,
// or when the application quits, is saved at once to the screenshot it was
// typed for; tags and a note whose write failed are written once more at
// those moments (the store may have become writable meanwhile), and the log
// says so when that fails too.
class MetadataInspectorView : public QWidget
{
    Q_OBJECT
    // True while the tag field or the notes editor has keyboard focus; hosts
    // hold back their own keyboard shortcuts meanwhile.
    Q_PROPERTY(bool isEditing READ isEditing NOTIFY isEditingChanged)

public:
    using UrlOpener = std::function<bool(const QUrl&)>;
    using UpdateCallback = std::function<void(const Screenshot&)>;

    static constexpr std::chrono::milliseconds noteSaveDelay{500};
    // The longest tag taken; a longer one is refused, never cut.
    static constexpr qsizetype maxTagLength = UserDataLimits::maxTagLength;
    static constexpr std::chrono::milliseconds copiedResetDelay{2000};

    MetadataInspectorView(DatabaseManager& database, ScreenshotMonitor& monitor, QWidget* parent = nullptr);
    ~MetadataInspectorView() override;

    // The record to inspect; none shows the placeholder. A record with another
    // id replaces the tags and note being edited; the same record coming back
    // updated only refreshes what is shown.
    void setScreenshot(const std::optional<Screenshot>& screenshot);
    const std::optional<Screenshot>& screenshot() const { return m_screenshot; }
    // Told of every saved edit, with the edited copy.
    void setOnScreenshotUpdated(UpdateCallback callback) { m_onScreenshotUpdated = std::move(callback); }
    bool isEditing() const { return m_isEditing; }

    // Seams for tests: the delays and the desktop's link handler.
    void setScheduler(Scheduler& scheduler) { m_scheduler = &scheduler; }
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // The panel's state.
    const QStringList& customTags() const { return m_customTags; }
    QString notesText() const;
    QString newTagInput() const;
    bool showAutoComplete() const { return m_showAutoComplete; }
    const QStringList& allExistingTags() const { return m_allExistingTags; }
    bool isCopied() const { return m_isCopied; }
    bool hasSaveError() const { return m_saveFailed; }
    // Why the typed tag was not added, while it is shown; empty otherwise.
    QString tagProblem() const;
    // Up to five stored tags starting with the typed text (any case), in
    // stored order, leaving out those the screenshot already has.
    QStringList tagSuggestions() const;

    // What a click or Return does.
    void addTag();
    void removeTag(const QString& tag);
    void selectSuggestion(const QString& tag);
    void copyRecognizedText(const QString& text);
    // Opens web and mail links with the desktop's handler; refuses the rest.
    void openLink(const QUrl& url);
    // Writes the current tags and note again after a failed write.
    void retrySave();

    // Parts of the panel.
    QLineEdit* tagField() const { return m_tagField; }
    QTextEdit* notesEditor() const { return m_notesEditor; }
    QWidget* suggestionList() const { return m_suggestionList; }
    QWidget* saveErrorRow() const { return m_saveErrorRow; }
    QAbstractButton* retryButton() const { return m_retryButton; }
    CapsuleChip* copyButton() const { return m_copyButton; }
    QList<CapsuleChip*> customTagChips() const { return m_customTagChipList; }
    QList<CapsuleChip*> suggestionButtons() const { return m_suggestionButtons; }
    QList<CapsuleChip*> linkChips() const { return m_linkChips; }
    QList<CapsuleChip*> smartTagChips() const { return m_smartTagChips; }
    // "Filename", "Created", "Size" and, with a source, "Source", in order.
    QStringList fileFactLabels() const;
    QString fileFactValue(const QString& label) const;
    bool showsTextIndicator() const;
    bool showsPlaceholder() const;
    // Titles of the sections in order, e.g. "Intelligent Text", "Custom Tags".
    QStringList sectionTitles() const;

signals:
    void isEditingChanged(bool editing);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct PendingNoteSave
    {
        quint64 generation = 0;
        Screenshot target;
    };

    // Panel pieces (MetadataInspectorView.cpp).
    QWidget* makeHeaderView();
    QWidget* makeEmptyStateView();
    QScrollArea* makeScrollView();
    void rebuildReadOnlySections();
    QWidget* makeIntelligentTextSection(const Screenshot& screenshot);
    QWidget* makeSmartLinksSection(const Screenshot& screenshot);
    QWidget* makeSmartTagsSection(const Screenshot& screenshot);
    QWidget* makeFileDNASection(const Screenshot& screenshot);
    QWidget* makeMetadataRow(const QString& label, const QString& symbol, const QString& value, QWidget* parent);
    CapsuleChip* makeLinkChip(const QUrl& url, QWidget* parent);
    void loadFromScreenshot();
    void loadExistingTags();
    void setCopied(bool copied);

    // Editing pieces (MetadataInspectorEditing.cpp).
    QWidget* makeCustomTagsSection();
    QWidget* makeTagInputRow(QWidget* parent);
    QWidget* makeNotesSection();
    QWidget* makeSaveErrorRow();
    void rebuildCustomTagChips();
    void rebuildSuggestions();
    void tagInputChanged();
    void setShowAutoComplete(bool show);
    void notesChanged();
    // Saves a note still waiting for its pause, to the screenshot it was typed for.
    void flushPendingNote(bool tellHost);
    // Before the panel lets its edits go (or may never get another chance):
    // the waiting note, or else the tags and note whose write failed.
    void saveUnsavedEdits(bool tellHost);
    bool saveUserData(const Screenshot& target, bool tellHost = true);
    void setSaveFailed(bool failed);
    void updateEditing();
    void fitNotesHeight();
    void mergeExistingTags(const QStringList& stored);

    DatabaseManager& m_database;
    ScreenshotMonitor& m_monitor;
    Scheduler* m_scheduler;
    UrlOpener m_openUrl;
    UpdateCallback m_onScreenshotUpdated;
    std::optional<Screenshot> m_screenshot;

    bool m_isEditing = false;
    bool m_isCopied = false;
    QStringList m_customTags;
    bool m_showAutoComplete = false;
    QStringList m_allExistingTags;
    QStringList m_tagsAddedDuringLoad;
    quint64 m_existingTagsLoad = 0;
    std::optional<PendingNoteSave> m_pendingNote;
    quint64 m_noteGeneration = 0;
    bool m_loadingNote = false;
    bool m_saveFailed = false;
    // The one thread that reads the stored tags; waited for on destruction.
    QThreadPool m_readers;

    QStackedLayout* m_pages = nullptr;
    SymbolLabel* m_textIndicator = nullptr;
    QWidget* m_emptyState = nullptr;
    QScrollArea* m_scroll = nullptr;
    QVBoxLayout* m_sections = nullptr;
    QList<QWidget*> m_readOnlySections; // rebuilt for every record
    QWidget* m_customTagsSection = nullptr;
    QWidget* m_notesSection = nullptr;
    FlowLayout* m_customTagFlow = nullptr;
    QWidget* m_customTagChips = nullptr;
    QLineEdit* m_tagField = nullptr;
    QLabel* m_tagProblem = nullptr;
    QWidget* m_suggestionList = nullptr;
    QBoxLayout* m_suggestionRows = nullptr;
    QTextEdit* m_notesEditor = nullptr;
    QLabel* m_notesPlaceholder = nullptr;
    RoundedPanel* m_notesFrame = nullptr;
    QWidget* m_saveErrorRow = nullptr;
    QAbstractButton* m_retryButton = nullptr;
    CapsuleChip* m_copyButton = nullptr;
    QList<CapsuleChip*> m_customTagChipList;
    QList<CapsuleChip*> m_suggestionButtons;
    QList<CapsuleChip*> m_linkChips;
    QList<CapsuleChip*> m_smartTagChips;
    QList<QPair<QString, ElidedLabel*>> m_fileFacts;
    // The panel's sheen at its current size, rendered once per size.
    QImage m_sheen;
};
