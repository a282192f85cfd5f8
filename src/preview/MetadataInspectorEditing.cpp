// The two sections of the metadata inspector that the user edits, custom tags
// and notes, and the path of every edit to the store, the host and the monitor.
#include "core/DatabaseManager.h"
#include "core/GuiThread.h"
#include "core/Logger.h"
#include "ingest/ScreenshotMonitor.h"
#include "preview/CapsuleChip.h"
#include "preview/FlowLayout.h"
#include "preview/InspectorPieces.h"
#include "preview/MetadataInspectorView.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedPanel.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"

#include <QAbstractTextDocumentLayout>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using namespace InspectorPieces;

namespace {
constexpr int maxSuggestions = 5;
constexpr int notesMinHeight = 80;
constexpr int notesMaxHeight = 160;

// The store's order of tags: by code point (UTF-16 order differs above U+FFFF).
bool codePointLess(const QString& a, const QString& b)
{
    return a.toUtf8() < b.toUtf8();
}

QColor orange(qreal opacity)
{
    return tint(SystemColor::orange, opacity);
}

std::optional<QString> storedNote(const QString& text)
{
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() ? std::nullopt : std::optional<QString>(trimmed);
}
} // namespace

QWidget* MetadataInspectorView::makeCustomTagsSection()
{
    QWidget* parent = m_scroll->widget();
    m_customTagChips = new QWidget(parent);
    m_customTagFlow = new FlowLayout(m_customTagChips, 8);
    m_customTagChips->hide();

    auto* inputStack = new QWidget(parent);
    auto* stack = new QVBoxLayout(inputStack);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(makeTagInputRow(inputStack));
    m_tagProblem = makeTextLabel(u"Tags can be at most 32,767 characters long."_s, PremiumTheme::systemFont(11),
                                 tint(SystemColor::red, 1), inputStack);
    m_tagProblem->setContentsMargins(2, 6, 2, 2);
    m_tagProblem->hide();
    stack->addWidget(m_tagProblem);

    RoundedBackground listBackground{8, QColor::fromRgbF(0.12f, 0.10f, 0.08f), orange(0.3), 1,
                                     RoundedBackground::Shadow{black(0.4), 8, QPointF(0, 4)}};
    auto* list = new RoundedPanel(listBackground, 1, QBoxLayout::TopToBottom, inputStack);
    list->setObjectName(u"tagSuggestions"_s);
    m_suggestionRows = list->contentLayout();
    list->hide();
    m_suggestionList = list;
    stack->addWidget(list);

    return section({sectionHeader(u"Custom Tags"_s, u"tag.fill"_s, orange(0.9), parent), m_customTagChips, inputStack},
                   parent);
}

QWidget* MetadataInspectorView::makeTagInputRow(QWidget* parent)
{
    auto* row = new RoundedPanel(RoundedBackground::tinted(8, PremiumTheme::systemColor(SystemColor::orange), 0.1, 0.3),
                                 0, QBoxLayout::LeftToRight, parent);
    QBoxLayout* layout = row->contentLayout();
    layout->setContentsMargins(10, 7, 10, 7);
    layout->setSpacing(8);
    layout->addWidget(new SymbolLabel(u"plus.circle.fill"_s, 13, orange(0.7), row));

    m_tagField = new QLineEdit(row);
    m_tagField->setObjectName(u"tagField"_s);
    m_tagField->setPlaceholderText(u"Add tag…"_s);
    m_tagField->setFrame(false);
    // A line edit cuts its text at 32,767 characters without a word; the
    // field takes it all, so that addTag() can refuse a longer tag instead.
    m_tagField->setMaxLength(std::numeric_limits<int>::max());
    m_tagField->setFont(PremiumTheme::systemFont(12));
    QPalette palette = m_tagField->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Qt::white);
    m_tagField->setPalette(palette);
    m_tagField->setStyleSheet(u"QLineEdit { background: transparent; border: none; padding: 0; }"_s);
    m_tagField->installEventFilter(this);
    // Return always adds what was typed; the suggestions are for the pointer.
    connect(m_tagField, &QLineEdit::returnPressed, this, &MetadataInspectorView::addTag);
    connect(m_tagField, &QLineEdit::textChanged, this, &MetadataInspectorView::tagInputChanged);
    layout->addWidget(m_tagField, 1);
    return row;
}

QWidget* MetadataInspectorView::makeNotesSection()
{
    QWidget* parent = m_scroll->widget();
    m_notesFrame = new RoundedPanel(RoundedBackground{8, black(0.25), orange(0.2), 1, std::nullopt}, 10,
                                    QBoxLayout::TopToBottom, parent);

    m_notesEditor = new QTextEdit(m_notesFrame);
    m_notesEditor->setObjectName(u"notesEditor"_s);
    m_notesEditor->setAcceptRichText(false);
    m_notesEditor->setFrameShape(QFrame::NoFrame);
    m_notesEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_notesEditor->setFont(PremiumTheme::systemFont(12));
    m_notesEditor->setTabChangesFocus(true);
    QPalette palette = m_notesEditor->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, white(0.85));
    m_notesEditor->setPalette(palette);
    m_notesEditor->setStyleSheet(u"QTextEdit { background: transparent; border: none; }"_s);
    m_notesEditor->viewport()->setAutoFillBackground(false);
    m_notesEditor->installEventFilter(this);
    connect(m_notesEditor, &QTextEdit::textChanged, this, &MetadataInspectorView::notesChanged);
    connect(m_notesEditor->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &MetadataInspectorView::fitNotesHeight);
    m_notesFrame->contentLayout()->addWidget(m_notesEditor);

    // Where the editor's first line starts, so the caret lands on the placeholder.
    const int margin = int(m_notesEditor->document()->documentMargin());
    m_notesPlaceholder =
        makeTextLabel(u"Add a note…"_s, PremiumTheme::systemFont(12), white(0.3), m_notesEditor->viewport());
    m_notesPlaceholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Inside the editor the style sheet's colours win over a palette.
    m_notesPlaceholder->setStyleSheet(u"color: rgba(255, 255, 255, 0.3); background: transparent;"_s);
    m_notesPlaceholder->move(margin, margin);
    m_notesPlaceholder->adjustSize();
    fitNotesHeight();

    return section({sectionHeader(u"Notes"_s, u"note.text"_s, orange(0.9), parent), m_notesFrame}, parent);
}

QWidget* MetadataInspectorView::makeSaveErrorRow()
{
    auto* holder = new QWidget(this);
    holder->setObjectName(u"saveError"_s);
    auto* margins = new QVBoxLayout(holder);
    margins->setContentsMargins(16, 12, 16, 0);
    auto* panel =
        new RoundedPanel(RoundedBackground::tinted(8, PremiumTheme::systemColor(SystemColor::red), 0.15, 0.45), 0,
                         QBoxLayout::LeftToRight, holder);
    margins->addWidget(panel);
    QBoxLayout* row = panel->contentLayout();
    row->setContentsMargins(10, 8, 8, 8);
    row->setSpacing(8);
    row->addWidget(new SymbolLabel(u"exclamationmark.triangle.fill"_s, 12, tint(SystemColor::red, 1), panel));
    QLabel* message =
        makeTextLabel(u"Couldn't save the tags and note."_s, PremiumTheme::systemFont(11), white(0.9), panel);
    message->setWordWrap(true);
    row->addWidget(message, 1);

    CapsuleChip::Style style;
    style.font = PremiumTheme::systemFont(11, QFont::DemiBold);
    style.fill = white(0.15);
    style.padding = QMargins(8, 3, 8, 3);
    auto* retry = new CapsuleChip(u"Retry"_s, style, panel);
    retry->setCursor(Qt::PointingHandCursor);
    connect(retry, &QAbstractButton::clicked, this, &MetadataInspectorView::retrySave);
    row->addWidget(retry);
    m_retryButton = retry;
    m_saveErrorRow = holder;
    holder->hide();
    return holder;
}

QString MetadataInspectorView::notesText() const
{
    return m_notesEditor->toPlainText();
}

QString MetadataInspectorView::newTagInput() const
{
    return m_tagField->text();
}

void MetadataInspectorView::rebuildCustomTagChips()
{
    clearLayout(m_customTagFlow);
    m_customTagChipList.clear();
    CapsuleChip::Style style;
    style.font = PremiumTheme::systemFont(11, QFont::DemiBold);
    style.fill = orange(0.35);
    style.stroke = orange(0.6);
    style.spacing = 5;
    for (const QString& tag : std::as_const(m_customTags)) {
        auto* chip = new CapsuleChip(tag, style, m_customTagChips);
        QAbstractButton* remove = chip->addRemoveButton(u"xmark"_s, 8, white(0.7));
        connect(remove, &QAbstractButton::clicked, this, [this, tag] { removeTag(tag); });
        m_customTagFlow->addWidget(chip);
        m_customTagChipList.append(chip);
    }
    m_customTagChips->setVisible(!m_customTags.isEmpty());
}

QStringList MetadataInspectorView::tagSuggestions() const
{
    const QString input = m_tagField->text().trimmed().toLower();
    QStringList suggestions;
    if (input.isEmpty())
        return suggestions;
    for (const QString& tag : m_allExistingTags) {
        if (tag.toLower().startsWith(input) && !m_customTags.contains(tag)) {
            suggestions.append(tag);
            if (suggestions.size() == maxSuggestions)
                break;
        }
    }
    return suggestions;
}

void MetadataInspectorView::tagInputChanged()
{
    m_tagProblem->hide();
    setShowAutoComplete(!tagSuggestions().isEmpty());
}

QString MetadataInspectorView::tagProblem() const
{
    return m_tagProblem->isHidden() ? QString() : m_tagProblem->text();
}

void MetadataInspectorView::setShowAutoComplete(bool show)
{
    m_showAutoComplete = show;
    rebuildSuggestions();
}

void MetadataInspectorView::rebuildSuggestions()
{
    clearLayout(m_suggestionRows);
    m_suggestionButtons.clear();
    const QStringList suggestions = m_showAutoComplete ? tagSuggestions() : QStringList();
    CapsuleChip::Style style;
    style.font = PremiumTheme::systemFont(12);
    style.foreground = white(0.9);
    style.fill = white(0.04);
    style.symbol = u"tag"_s;
    style.symbolSize = 10;
    style.symbolColor = orange(0.7);
    style.spacing = 8;
    style.padding = QMargins(10, 7, 10, 7);
    style.cornerRadius = 0;
    style.fillsWidth = true;
    for (const QString& tag : suggestions) {
        auto* row = new CapsuleChip(tag, style, m_suggestionList);
        row->setCursor(Qt::PointingHandCursor);
        connect(row, &QAbstractButton::clicked, this, [this, tag] { selectSuggestion(tag); });
        m_suggestionRows->addWidget(row);
        m_suggestionButtons.append(row);
        if (tag != suggestions.last())
            m_suggestionRows->addWidget(divider(white(0.06), m_suggestionList));
    }
    m_suggestionList->setVisible(!suggestions.isEmpty());
}

void MetadataInspectorView::addTag()
{
    if (!m_screenshot)
        return;
    const QString tag = m_tagField->text().trimmed();
    if (tag.size() > maxTagLength) {
        // Kept in the field, so that nothing typed is lost.
        setShowAutoComplete(false);
        m_tagProblem->show();
        return;
    }
    const bool adds = !tag.isEmpty() && !m_customTags.contains(tag);
    if (adds)
        m_customTags.append(tag);
    m_tagField->clear();
    setShowAutoComplete(false);
    if (!adds)
        return;
    rebuildCustomTagChips();
    saveUserData(*m_screenshot);
    if (!m_allExistingTags.contains(tag)) {
        m_allExistingTags.insert(
            std::lower_bound(m_allExistingTags.begin(), m_allExistingTags.end(), tag, codePointLess), tag);
        m_tagsAddedDuringLoad.append(tag);
    }
}

void MetadataInspectorView::removeTag(const QString& tag)
{
    if (!m_screenshot)
        return;
    m_customTags.removeAll(tag);
    rebuildCustomTagChips();
    rebuildSuggestions();
    saveUserData(*m_screenshot);
}

void MetadataInspectorView::selectSuggestion(const QString& tag)
{
    m_tagField->setText(tag);
    addTag();
}

void MetadataInspectorView::mergeExistingTags(const QStringList& stored)
{
    QStringList merged = stored;
    for (const QString& tag : std::as_const(m_tagsAddedDuringLoad)) {
        if (!merged.contains(tag))
            merged.append(tag);
    }
    std::sort(merged.begin(), merged.end(), codePointLess);
    m_allExistingTags = merged;
    rebuildSuggestions();
}

void MetadataInspectorView::notesChanged()
{
    m_notesPlaceholder->setVisible(m_notesEditor->document()->isEmpty() && !m_notesEditor->hasFocus());
    if (m_loadingNote || !m_screenshot)
        return;
    // A newer keystroke replaces the waiting save; the save keeps the record
    // the note was typed for, whatever is shown when it runs.
    const quint64 generation = ++m_noteGeneration;
    m_pendingNote = PendingNoteSave{generation, *m_screenshot};
    m_scheduler->runAfter(noteSaveDelay, this, [this, generation] {
        if (m_pendingNote && m_pendingNote->generation == generation)
            flushPendingNote(true);
    });
}

void MetadataInspectorView::flushPendingNote(bool tellHost)
{
    if (!m_pendingNote)
        return;
    const Screenshot target = std::move(m_pendingNote->target);
    m_pendingNote.reset();
    saveUserData(target, tellHost);
}

void MetadataInspectorView::saveUnsavedEdits(bool tellHost)
{
    QUuid id;
    if (m_pendingNote) {
        id = m_pendingNote->target.id;
        flushPendingNote(tellHost);
    } else if (m_saveFailed && m_screenshot) {
        id = m_screenshot->id;
        saveUserData(*m_screenshot, tellHost);
    } else {
        return;
    }
    // The edits may be lost for good now (a quit, another screenshot): the
    // log keeps whose words did not reach the file.
    if (m_saveFailed)
        Logger::log(LogLevel::error, u"General"_s, u"Could not save the tags and note of a screenshot"_s,
                    {{u"screenshot"_s, id.toString(QUuid::WithoutBraces)}});
}

bool MetadataInspectorView::saveUserData(const Screenshot& target, bool tellHost)
{
    const std::optional<QString> note = storedNote(m_notesEditor->toPlainText());
    const bool written = m_database.saveUserData(target.id, m_customTags, note);
    setSaveFailed(!written);
    if (!written)
        return false;
    Screenshot copy = target;
    copy.customTags = m_customTags;
    copy.userNotes = note;
    if (tellHost && m_onScreenshotUpdated)
        m_onScreenshotUpdated(copy);
    // The live list learns of it after the host, in a later turn of the loop.
    ScreenshotMonitor* monitor = &m_monitor;
    runOnThreadOf(monitor, [monitor, copy] { monitor->updateScreenshot(copy); });
    return true;
}

void MetadataInspectorView::retrySave()
{
    if (m_pendingNote)
        flushPendingNote(true);
    else if (m_screenshot)
        saveUserData(*m_screenshot);
}

void MetadataInspectorView::setSaveFailed(bool failed)
{
    m_saveFailed = failed;
    m_saveErrorRow->setVisible(failed && m_screenshot);
}

bool MetadataInspectorView::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_tagField || watched == m_notesEditor) &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        updateEditing();
    return QWidget::eventFilter(watched, event);
}

void MetadataInspectorView::updateEditing()
{
    // The application's focus widget has already moved when a control hears
    // that it lost focus, so going from one control to the other stays editing.
    const bool notesFocused = m_notesEditor->hasFocus();
    RoundedBackground frame = m_notesFrame->background();
    frame.stroke = orange(notesFocused ? 0.5 : 0.2);
    m_notesFrame->setBackground(frame);
    m_notesPlaceholder->setVisible(m_notesEditor->document()->isEmpty() && !notesFocused);
    const bool editing = m_tagField->hasFocus() || notesFocused;
    if (editing == m_isEditing)
        return;
    m_isEditing = editing;
    Q_EMIT isEditingChanged(editing);
}

void MetadataInspectorView::fitNotesHeight()
{
    const int content = int(std::ceil(m_notesEditor->document()->size().height())) + 2 * m_notesEditor->frameWidth();
    m_notesEditor->setFixedHeight(std::clamp(content, notesMinHeight, notesMaxHeight));
}
