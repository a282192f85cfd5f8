#include "preview/MetadataInspectorView.h"

#include "core/DatabaseManager.h"
#include "core/DateText.h"
#include "core/GuiThread.h"
#include "core/Logger.h"
#include "preview/CapsuleChip.h"
#include "preview/FlowLayout.h"
#include "preview/InspectorPieces.h"
#include "preview/InspectorText.h"
#include "ui/BlurView.h"
#include "ui/DitheredGradient.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedPanel.h"
#include "ui/SymbolLabel.h"
#include "ui/TextLabel.h"
#include "ui/TextStyle.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QShowEvent>
#include <QStackedLayout>
#include <QTextEdit>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace InspectorPieces;

namespace {
const QString intelligentTextTitle = u"Intelligent Text"_s;
const QString smartLinksTitle = u"Smart Links"_s;
const QString smartTagsTitle = u"Smart Tags"_s;
const QString fileDNATitle = u"File DNA"_s;

// What the read-only sections show, so that a record coming back with the
// same content leaves them (and a text selection in them) alone.
bool showsSameFacts(const Screenshot& a, const Screenshot& b)
{
    return a.id == b.id && a.filename == b.filename && a.dateCreated == b.dateCreated && a.fileSize == b.fileSize &&
           a.ocrText == b.ocrText && a.tags == b.tags && a.sourceApp == b.sourceApp &&
           a.detectedUrls == b.detectedUrls && a.analysisFailure == b.analysisFailure &&
           a.awaitsAnotherRead() == b.awaitsAnotherRead();
}

// A reading that real time stopped holds part of the text, perhaps none.
QString stillReadingNote()
{
    return u"The text of this file is still being read; it will be completed at the next start."_s;
}

QWidget* sectionHeaderRow(QWidget* header, QWidget* trailing, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    header->setParent(row);
    layout->addWidget(header, 1);
    if (trailing) {
        trailing->setParent(row);
        layout->addWidget(trailing, 0, Qt::AlignVCenter);
    }
    return row;
}

QWidget* flowOf(const QList<CapsuleChip*>& chips, QWidget* parent)
{
    auto* holder = new QWidget(parent);
    auto* flow = new FlowLayout(holder, 8);
    for (CapsuleChip* chip : chips) {
        chip->setParent(holder);
        flow->addWidget(chip);
    }
    return holder;
}
} // namespace

MetadataInspectorView::MetadataInspectorView(DatabaseManager& database, ScreenshotMonitor& monitor, QWidget* parent)
    : QWidget(parent)
    , m_database(database)
    , m_monitor(monitor)
    , m_scheduler(&Scheduler::eventLoop())
    , m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(u"metadataInspector"_s);
    setAttribute(Qt::WA_StyledBackground, false);
    m_readers.setMaxThreadCount(1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeaderView());
    column->addWidget(makeSaveErrorRow());
    m_pages = new QStackedLayout();
    column->addLayout(m_pages, 1);
    m_pages->addWidget(makeEmptyStateView());
    m_pages->addWidget(makeScrollView());
    m_pages->setCurrentWidget(m_emptyState);
    loadFromScreenshot();
    // A quit that cannot wait for every job ends the process without
    // destroying the windows, so the panel cannot count on its destructor.
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { saveUnsavedEdits(false); });
}

MetadataInspectorView::~MetadataInspectorView()
{
    // The host may be half torn down by now: the store and the monitor still
    // get the edits, the host does not.
    saveUnsavedEdits(false);
}

QWidget* MetadataInspectorView::makeHeaderView()
{
    auto* header = new QWidget(this);
    header->setObjectName(u"inspectorHeader"_s);
    header->setAutoFillBackground(true);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, black(0.2));
    header->setPalette(palette);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 16, 16, 16);
    row->addWidget(makeTextLabel(u"Metadata Lens"_s, PremiumTheme::systemFont(14, QFont::Bold), white(0.8), header));
    row->addStretch(1);
    m_textIndicator = new SymbolLabel(u"text.viewfinder"_s, 14, tint(SystemColor::green, 0.8), header);
    m_textIndicator->hide();
    row->addWidget(m_textIndicator);
    return header;
}

QWidget* MetadataInspectorView::makeEmptyStateView()
{
    m_emptyState = new QWidget(this);
    m_emptyState->setObjectName(u"inspectorEmptyState"_s);
    auto* column = new QVBoxLayout(m_emptyState);
    column->setSpacing(16);
    column->addStretch(1);
    column->addWidget(new SymbolLabel(u"photo.on.rectangle.angled"_s, 48, white(0.2), m_emptyState), 0,
                      Qt::AlignHCenter);
    column->addWidget(makeTextLabel(u"Select a photo to inspect"_s, TextStyle::caption(), white(0.4), m_emptyState), 0,
                      Qt::AlignHCenter);
    column->addStretch(1);
    return m_emptyState;
}

QScrollArea* MetadataInspectorView::makeScrollView()
{
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(u"inspectorScroll"_s);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);

    auto* content = new QWidget(m_scroll);
    m_scroll->setWidget(content);
    // The panel's material shows through, as it does without a record
    // (setWidget() turns filling on).
    content->setAutoFillBackground(false);
    m_sections = new QVBoxLayout(content);
    m_sections->setContentsMargins(16, 16, 16, 16);
    m_sections->setSpacing(24);
    m_customTagsSection = makeCustomTagsSection();
    m_notesSection = makeNotesSection();
    m_sections->addWidget(m_customTagsSection);
    m_sections->addWidget(m_notesSection);
    m_sections->addStretch(1);
    return m_scroll;
}

void MetadataInspectorView::setScreenshot(const std::optional<Screenshot>& screenshot)
{
    const bool otherRecord = screenshot.has_value() != m_screenshot.has_value() ||
                             (screenshot && m_screenshot && screenshot->id != m_screenshot->id);
    const bool sameFacts = screenshot && m_screenshot && showsSameFacts(*screenshot, *m_screenshot);
    if (otherRecord)
        saveUnsavedEdits(true);
    m_screenshot = screenshot;
    if (!sameFacts)
        rebuildReadOnlySections();
    if (otherRecord) {
        setSaveFailed(false);
        loadFromScreenshot();
    }
}

void MetadataInspectorView::loadFromScreenshot()
{
    m_customTags = m_screenshot ? m_screenshot->customTags : QStringList();
    const QString notes = m_screenshot ? m_screenshot->userNotes.value_or(QString()) : QString();
    if (m_notesEditor->toPlainText() != notes) {
        // Showing a record is not an edit: nothing is scheduled or written.
        m_loadingNote = true;
        m_notesEditor->setPlainText(notes);
        m_loadingNote = false;
    }
    rebuildCustomTagChips();
    // The stored tags and the record decide what is suggested.
    rebuildSuggestions();
}

void MetadataInspectorView::rebuildReadOnlySections()
{
    for (QWidget* old : std::as_const(m_readOnlySections)) {
        m_sections->removeWidget(old);
        old->hide();
        old->deleteLater();
    }
    m_readOnlySections.clear();
    m_copyButton = nullptr;
    m_linkChips.clear();
    m_smartTagChips.clear();
    m_fileFacts.clear();

    // The mark of text read: not for a file nothing could be read of.
    // The mark says the text was read; a reading still to be completed is not.
    m_textIndicator->setVisible(m_screenshot && m_screenshot->ocrText.has_value() && !m_screenshot->couldNotBeRead() &&
                                !m_screenshot->awaitsAnotherRead());
    if (!m_screenshot) {
        m_pages->setCurrentWidget(m_emptyState);
        return;
    }
    m_pages->setCurrentWidget(m_scroll);
    const Screenshot& shot = *m_screenshot;
    QWidget* content = m_scroll->widget();
    const auto insertAt = [&](int index, QWidget* widget) {
        m_sections->insertWidget(index, widget);
        m_readOnlySections.append(widget);
    };
    const auto line = [&] { return divider(white(0.1), content); };

    insertAt(0, makeIntelligentTextSection(shot));
    insertAt(1, line());
    // Custom tags sit at 2.
    insertAt(3, line());
    // Notes sit at 4.
    int index = 5;
    insertAt(index++, line());
    if (shot.detectedUrls && !shot.detectedUrls->isEmpty()) {
        insertAt(index++, makeSmartLinksSection(shot));
        insertAt(index++, line());
    }
    if (!shot.tags.isEmpty()) {
        insertAt(index++, makeSmartTagsSection(shot));
        insertAt(index++, line());
    }
    insertAt(index, makeFileDNASection(shot));
}

QWidget* MetadataInspectorView::makeIntelligentTextSection(const Screenshot& screenshot)
{
    QWidget* parent = m_scroll->widget();
    const bool hasText = screenshot.ocrText && !screenshot.ocrText->isEmpty();
    if (hasText) {
        CapsuleChip::Style style;
        style.font = PremiumTheme::systemFont(10, QFont::Bold);
        style.fill = white(0.15);
        style.symbol = m_isCopied ? u"checkmark"_s : u"doc.on.doc"_s;
        style.symbolSize = 10;
        style.padding = QMargins(8, 4, 8, 4);
        m_copyButton = new CapsuleChip(m_isCopied ? u"Copied"_s : u"Copy Text"_s, style, parent);
        m_copyButton->setCursor(Qt::PointingHandCursor);
        const QString text = *screenshot.ocrText;
        connect(m_copyButton, &QAbstractButton::clicked, this, [this, text] { copyRecognizedText(text); });
    }
    QWidget* header = sectionHeaderRow(
        sectionHeader(intelligentTextTitle, u"doc.text.viewfinder"_s, white(0.6), parent), m_copyButton, parent);

    QWidget* body = nullptr;
    if (hasText) {
        auto* panel = new RoundedPanel(RoundedBackground{8, black(0.3), Qt::transparent, 1, std::nullopt}, 12,
                                       QBoxLayout::TopToBottom, parent);
        auto* text = new SelectableTextBlock(*screenshot.ocrText, PremiumTheme::monoFont(), white(0.9), panel);
        text->setObjectName(u"recognizedText"_s);
        panel->contentLayout()->addWidget(text);
        body = panel;
        if (screenshot.awaitsAnotherRead()) {
            QLabel* note = makeTextLabel(stillReadingNote(), TextStyle::caption(), white(0.5), parent);
            note->setObjectName(u"stillReadingNote"_s);
            note->setWordWrap(true);
            return section({header, body, note}, parent);
        }
    } else {
        body = new QWidget(parent);
        body->setObjectName(u"noTextPlaceholder"_s);
        auto* column = new QVBoxLayout(body);
        column->setContentsMargins(0, 20, 0, 20);
        column->setSpacing(8);
        column->addWidget(new SymbolLabel(u"text.magnifyingglass"_s, 24, white(0.3), body), 0, Qt::AlignHCenter);
        // Whether the file shows no text, or its text is unknown or not yet whole.
        QString note = u"No text detected"_s;
        if (screenshot.couldNotBeRead())
            note = u"The text of this file could not be read."_s;
        else if (screenshot.awaitsAnotherRead())
            note = stillReadingNote();
        QLabel* label = makeTextLabel(note, TextStyle::caption(), white(0.5), body);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignHCenter);
        column->addWidget(label);
    }
    return section({header, body}, parent);
}

CapsuleChip* MetadataInspectorView::makeLinkChip(const QUrl& url, QWidget* parent)
{
    CapsuleChip::Style style;
    style.font = PremiumTheme::systemFont(11, QFont::Medium);
    style.font.setUnderline(true);
    style.foreground = tint(SystemColor::cyan, 0.9);
    style.fill = tint(SystemColor::cyan, 0.15);
    style.stroke = tint(SystemColor::cyan, 0.3);
    style.symbol = u"safari"_s;
    style.symbolSize = 11;
    auto* chip = new CapsuleChip(InspectorText::linkTitle(url), style, parent);
    chip->setCursor(Qt::PointingHandCursor);
    chip->setToolTip(url.toString());
    connect(chip, &QAbstractButton::clicked, this, [this, url] { openLink(url); });
    m_linkChips.append(chip);
    return chip;
}

QWidget* MetadataInspectorView::makeSmartLinksSection(const Screenshot& screenshot)
{
    QWidget* parent = m_scroll->widget();
    QList<CapsuleChip*> chips;
    for (const QUrl& url : *screenshot.detectedUrls)
        chips.append(makeLinkChip(url, parent));
    return section({sectionHeader(smartLinksTitle, u"link.circle.fill"_s, white(0.6), parent), flowOf(chips, parent)},
                   parent);
}

QWidget* MetadataInspectorView::makeSmartTagsSection(const Screenshot& screenshot)
{
    QWidget* parent = m_scroll->widget();
    CapsuleChip::Style style;
    style.font = PremiumTheme::systemFont(11, QFont::Medium);
    style.foreground = white(0.9);
    style.fill = tint(SystemColor::indigo, 0.5);
    style.stroke = white(0.2);
    QList<CapsuleChip*> chips;
    for (const QString& label : screenshot.tags) {
        auto* chip = new CapsuleChip(InspectorText::capitalizedWords(label), style, parent);
        m_smartTagChips.append(chip);
        chips.append(chip);
    }
    return section({sectionHeader(smartTagsTitle, u"sparkles"_s, white(0.6), parent), flowOf(chips, parent)}, parent);
}

QWidget* MetadataInspectorView::makeMetadataRow(const QString& label, const QString& symbol, const QString& value,
                                                QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    QLabel* name = makeTextLabel(label, TextStyle::caption(), white(0.5), row);
    name->setFixedWidth(60);
    layout->addWidget(name, 0, Qt::AlignTop);
    if (!symbol.isEmpty())
        layout->addWidget(new SymbolLabel(symbol, TextStyle::caption().pixelSize(), white(0.7), row), 0, Qt::AlignTop);
    auto* text = new ElidedLabel(value, TextStyle::caption(), white(0.8), row);
    layout->addWidget(text, 1, Qt::AlignTop);
    m_fileFacts.append({label, text});
    return row;
}

QWidget* MetadataInspectorView::makeFileDNASection(const Screenshot& screenshot)
{
    QWidget* parent = m_scroll->widget();
    auto* rows = new QWidget(parent);
    auto* column = new QVBoxLayout(rows);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    const QLocale locale;
    column->addWidget(makeMetadataRow(u"Filename"_s, {}, screenshot.filename, rows));
    column->addWidget(
        makeMetadataRow(u"Created"_s, {}, DateText::mediumDateAndTime(screenshot.dateCreated, locale), rows));
    column->addWidget(makeMetadataRow(u"Size"_s, {}, InspectorText::fileSize(screenshot.fileSize, locale), rows));
    if (screenshot.sourceApp)
        column->addWidget(makeMetadataRow(u"Source"_s, u"app.dashed"_s, *screenshot.sourceApp, rows));
    return section({sectionHeader(fileDNATitle, u"info.circle"_s, white(0.6), parent), rows}, parent);
}

void MetadataInspectorView::copyRecognizedText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    setCopied(true);
    // Every copy ends its own confirmation; a later copy does not extend an earlier one.
    m_scheduler->runAfter(copiedResetDelay, this, [this] { setCopied(false); });
}

void MetadataInspectorView::setCopied(bool copied)
{
    m_isCopied = copied;
    if (!m_copyButton)
        return;
    m_copyButton->setSymbol(copied ? u"checkmark"_s : u"doc.on.doc"_s);
    m_copyButton->setLabel(copied ? u"Copied"_s : u"Copy Text"_s);
}

void MetadataInspectorView::openLink(const QUrl& url)
{
    if (!InspectorText::isOpenableLink(url)) {
        Logger::log(LogLevel::warning, u"General"_s, u"Refused to open a link that is not a web or mail address"_s,
                    {{u"scheme"_s, url.scheme()}});
        return;
    }
    if (m_openUrl)
        m_openUrl(url);
}

void MetadataInspectorView::loadExistingTags()
{
    const quint64 load = ++m_existingTagsLoad;
    m_tagsAddedDuringLoad.clear();
    QPointer<MetadataInspectorView> self(this);
    DatabaseManager* database = &m_database;
    m_readers.start([self, database, load] {
        QStringList stored = database->allCustomTags();
        runOnGuiThread([self, load, stored = std::move(stored)] {
            if (self && self->m_existingTagsLoad == load)
                self->mergeExistingTags(stored);
        });
    });
}

void MetadataInspectorView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        loadExistingTags();
}

void MetadataInspectorView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        saveUnsavedEdits(true);
}

void MetadataInspectorView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), BlurView::fillColor(BlurView::Material::hudWindow));
    if (m_sheen.size() != size())
        m_sheen = DitheredGradient::render(size(), QPointF(0, 0), QPointF(width(), height()), white(0.02), white(0.01));
    painter.drawImage(0, 0, m_sheen);
    painter.fillRect(QRect(0, 0, 1, height()), white(0.1));
}

bool MetadataInspectorView::showsTextIndicator() const
{
    return !m_textIndicator->isHidden();
}

bool MetadataInspectorView::showsPlaceholder() const
{
    return m_pages->currentWidget() == m_emptyState;
}

QStringList MetadataInspectorView::sectionTitles() const
{
    QStringList titles;
    if (showsPlaceholder())
        return titles;
    for (int i = 0; i < m_sections->count(); ++i) {
        QWidget* widget = m_sections->itemAt(i)->widget();
        if (!widget || widget->isHidden())
            continue;
        for (const QString& title :
             {intelligentTextTitle, u"Custom Tags"_s, u"Notes"_s, smartLinksTitle, smartTagsTitle, fileDNATitle}) {
            if (widget->findChild<QWidget*>(title))
                titles.append(title);
        }
    }
    return titles;
}

QStringList MetadataInspectorView::fileFactLabels() const
{
    QStringList labels;
    for (const auto& fact : m_fileFacts)
        labels.append(fact.first);
    return labels;
}

QString MetadataInspectorView::fileFactValue(const QString& label) const
{
    for (const auto& [name, value] : m_fileFacts) {
        if (name == label)
            return value->text();
    }
    return {};
}
