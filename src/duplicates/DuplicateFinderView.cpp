#include "duplicates/DuplicateFinderView.h"

#include "core/ByteCount.h"
#include "duplicates/DuplicateFinderViewModel.h"
#include "duplicates/DuplicateGroupList.h"
#include "duplicates/DuplicatePreviewView.h"
#include "duplicates/MemberThumbnails.h"
#include "duplicates/TitledButton.h"
#include "ui/ActivitySpinner.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>

using namespace Qt::StringLiterals;

namespace {
constexpr int kThumbnailSide = 300; // twice the card's size, for sharp screens
constexpr int kThumbnailsKept = 400;

TitledButtonStyle headerButtonStyle(const QColor& fill)
{
    return {PremiumTheme::bodyFont(), Qt::white, filledBackground(8, fill), QMargins(24, 12, 24, 12), 8};
}

QWidget* centredColumn(int spacing)
{
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setSpacing(spacing);
    layout->addStretch();
    return column;
}

void addCentred(QWidget& column, QWidget* widget)
{
    static_cast<QVBoxLayout*>(column.layout())->addWidget(widget, 0, Qt::AlignHCenter);
}

void finishColumn(QWidget& column)
{
    static_cast<QVBoxLayout*>(column.layout())->addStretch();
}

// A handful of names, then how many more: a clean-up of hundreds stays one
// short line.
QString namesOf(const QStringList& names)
{
    constexpr qsizetype shown = 5;
    if (names.size() <= shown)
        return names.join(u", "_s);
    return names.first(shown).join(u", "_s) + u" and %1 more"_s.arg(names.size() - shown);
}
} // namespace

DuplicateFinderView::DuplicateFinderView(ScreenshotMonitor& monitor, DatabaseManager& database, Trash& trash,
                                         Workers& workers, QWidget* parent)
    : QWidget(parent)
    , m_workers(workers)
    , m_viewModel(new DuplicateFinderViewModel(monitor, database, trash, workers.duplicateReads(), this))
    , m_thumbnails(
          new MemberThumbnails(QSizeF(kThumbnailSide, kThumbnailSide), kThumbnailsKept, workers.thumbnails(), this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeader());
    auto* divider = new QWidget;
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette palette = divider->palette();
    palette.setColor(QPalette::Window, PremiumTheme::glassBorder());
    divider->setPalette(palette);
    column->addWidget(divider);
    // One line in green for a deletion that did all it was asked, one in red
    // for one that left files behind.
    for (QLabel*& line : m_deletionLines) {
        line = makeTextLabel(QString(), PremiumTheme::labelFont(),
                             &line == &m_deletionLines[0] ? PremiumTheme::success() : PremiumTheme::error());
        line->setWordWrap(true);
        line->setContentsMargins(24, 12, 24, 12);
        line->hide();
        column->addWidget(line);
    }

    m_list = new DuplicateGroupList(*m_thumbnails);
    m_content = new QStackedWidget;
    m_content->addWidget(makeIdleState());
    m_content->addWidget(makeEmptyState());
    m_content->addWidget(m_list);
    column->addWidget(m_content, 1);

    connect(m_list, &DuplicateGroupList::deleteRequested, m_viewModel, &DuplicateFinderViewModel::deleteDuplicates);
    connect(m_list, &DuplicateGroupList::previewRequested, this,
            [this](const auto& group) { m_viewModel->setPreviewingGroup(group); });
    connect(m_viewModel, &DuplicateFinderViewModel::resultChanged, this, &DuplicateFinderView::showResult);
    connect(m_viewModel, &DuplicateFinderViewModel::isAnalyzingChanged, this, &DuplicateFinderView::showProgress);
    connect(m_viewModel, &DuplicateFinderViewModel::progressChanged, this, &DuplicateFinderView::showProgress);
    connect(m_viewModel, &DuplicateFinderViewModel::previewingGroupChanged, this, &DuplicateFinderView::showPreview);
    connect(m_viewModel, &DuplicateFinderViewModel::deletionFinished, this, &DuplicateFinderView::showDeletion);
    showResult();
    showProgress();
}

DuplicateFinderView::~DuplicateFinderView()
{
    delete m_preview;
}

QWidget* DuplicateFinderView::makeHeader()
{
    auto* header = new QWidget;
    header->setAutoFillBackground(true);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, withOpacity(PremiumTheme::surface(), 0.5));
    header->setPalette(palette);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(24, 24, 24, 24);

    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(makeTextLabel(u"Duplicate Finder"_s, PremiumTheme::headingFont(), PremiumTheme::textPrimary()));
    m_subtitle = makeTextLabel(QString(), PremiumTheme::labelFont(), PremiumTheme::textSecondary());
    titles->addWidget(m_subtitle);
    row->addLayout(titles);
    row->addStretch();

    auto* actions = new QHBoxLayout;
    actions->setSpacing(12);
    m_autoDelete =
        makeTitledButton(u"trash.circle.fill"_s, u"Auto Delete All"_s, headerButtonStyle(PremiumTheme::error()));
    connect(m_autoDelete, &QAbstractButton::clicked, m_viewModel, &DuplicateFinderViewModel::autoDeleteKeepingNewest);
    actions->addWidget(m_autoDelete);

    m_progressBlock = new QWidget;
    auto* progress = new QVBoxLayout(m_progressBlock);
    progress->setContentsMargins(0, 0, 0, 0);
    progress->setSpacing(8);
    progress->addWidget(new ActivitySpinner(0.8), 0, Qt::AlignHCenter);
    m_progressText = makeTextLabel(QString(), PremiumTheme::smallLabelFont(), PremiumTheme::textTertiary());
    progress->addWidget(m_progressText, 0, Qt::AlignHCenter);
    actions->addWidget(m_progressBlock);

    m_analyze =
        makeTitledButton(u"magnifyingglass"_s, u"Find Duplicates"_s, headerButtonStyle(PremiumTheme::primary()));
    connect(m_analyze, &QAbstractButton::clicked, m_viewModel, &DuplicateFinderViewModel::analyze);
    actions->addWidget(m_analyze);
    row->addLayout(actions);
    return header;
}

QWidget* DuplicateFinderView::makeIdleState()
{
    QWidget* idle = centredColumn(24);
    addCentred(*idle, new StyledSymbol(u"doc.on.doc.fill"_s, QBrush(PremiumTheme::primaryGradient()), 72));
    auto* texts = new QWidget;
    auto* textColumn = new QVBoxLayout(texts);
    textColumn->setContentsMargins(0, 0, 0, 0);
    textColumn->setSpacing(8);
    textColumn->addWidget(
        makeTextLabel(u"Find Duplicate Screenshots"_s, PremiumTheme::headingFont(), PremiumTheme::textPrimary()), 0,
        Qt::AlignHCenter);
    QLabel* hint = makeTextLabel(u"Scan your library to find and remove duplicate files"_s, PremiumTheme::bodyFont(),
                                 PremiumTheme::textSecondary());
    hint->setAlignment(Qt::AlignHCenter);
    textColumn->addWidget(hint, 0, Qt::AlignHCenter);
    addCentred(*idle, texts);
    TitledButtonStyle style = headerButtonStyle(PremiumTheme::primary());
    style.background.cornerRadius = 10;
    style.padding = QMargins(32, 14, 32, 14);
    m_startScan = makeTitledButton(u"play.fill"_s, u"Start Scan"_s, style);
    connect(m_startScan, &QAbstractButton::clicked, m_viewModel, &DuplicateFinderViewModel::analyze);
    addCentred(*idle, m_startScan);
    finishColumn(*idle);
    return idle;
}

QWidget* DuplicateFinderView::makeEmptyState() const
{
    QWidget* empty = centredColumn(16);
    addCentred(*empty, new StyledSymbol(u"checkmark.circle.fill"_s, PremiumTheme::success(), 60));
    addCentred(*empty,
               makeTextLabel(u"No Duplicates Found"_s, PremiumTheme::headingFont(), PremiumTheme::textPrimary()));
    addCentred(*empty, makeTextLabel(u"All your screenshots are unique!"_s, PremiumTheme::bodyFont(),
                                     PremiumTheme::textSecondary()));
    finishColumn(*empty);
    return empty;
}

DuplicateFinderView::Content DuplicateFinderView::content() const
{
    return Content(m_content->currentIndex());
}

void DuplicateFinderView::showResult()
{
    const auto& result = m_viewModel->result();
    if (!result) {
        m_subtitle->setText(u"Find and remove duplicate screenshots"_s);
        m_content->setCurrentIndex(int(Content::Idle));
    } else {
        m_subtitle->setText(u"Found %1 groups • %2 duplicates • %3 can be saved"_s.arg(result->groups.size())
                                .arg(result->totalDuplicates)
                                .arg(formatFileByteCount(result->totalSavings)));
        m_list->setGroups(result->groups);
        m_content->setCurrentIndex(int(result->groups.isEmpty() ? Content::Empty : Content::Groups));
    }
    m_autoDelete->setVisible(result && !result->groups.isEmpty());
    titleOf(*m_analyze)->setText(result ? u"Scan Again"_s : u"Find Duplicates"_s);
}

void DuplicateFinderView::showProgress()
{
    const bool analyzing = m_viewModel->isAnalyzing();
    m_progressBlock->setVisible(analyzing);
    m_analyze->setVisible(!analyzing);
    const auto progress = m_viewModel->progress();
    m_progressText->setText(u"Analyzing %1/%2"_s.arg(progress.current).arg(progress.total));
}

void DuplicateFinderView::showPreview()
{
    const auto& group = m_viewModel->previewingGroup();
    if (!group) {
        if (m_preview)
            m_preview->reject();
        return;
    }
    if (m_preview)
        return;
    m_preview = new DuplicatePreviewView(*group, *m_viewModel, m_workers.thumbnails(), this);
    m_preview->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_preview, &QDialog::finished, this, [this] { m_viewModel->setPreviewingGroup(std::nullopt); });
    m_preview->open();
}

void DuplicateFinderView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), PremiumTheme::background());
}

QString DuplicateFinderView::deletionText(const DuplicateFinderViewModel::DeletionReport& report)
{
    QStringList sentences;
    // Files whose rows stayed went to the Trash all the same.
    const qsizetype moved = report.deleted + report.rowsRemaining.size();
    if (moved == 0)
        sentences.append(u"Nothing was moved to the Trash."_s);
    else
        sentences.append(moved == 1 ? u"Moved 1 file to the Trash."_s : u"Moved %1 files to the Trash."_s.arg(moved));
    // One sentence per reason, in the order the reasons first came.
    QStringList reasons;
    QHash<QString, QStringList> namesByReason;
    for (const auto& kept : report.notDeleted) {
        if (!namesByReason.contains(kept.why))
            reasons.append(kept.why);
        namesByReason[kept.why].append(kept.name);
    }
    for (const QString& why : std::as_const(reasons))
        sentences.append(u"Not deleted (%1): %2."_s.arg(why, namesOf(namesByReason.value(why))));
    if (!report.rowsRemaining.isEmpty())
        sentences.append(
            u"The library could not remove the entries of %1 now; they are removed at the next start."_s.arg(
                namesOf(report.rowsRemaining)));
    return sentences.join(u' ');
}

void DuplicateFinderView::showDeletion()
{
    const auto& report = m_viewModel->lastDeletion();
    if (!report)
        return;
    const bool clean = report->notDeleted.isEmpty() && report->rowsRemaining.isEmpty();
    m_deletionLines[clean ? 1 : 0]->hide();
    m_deletionLine = m_deletionLines[clean ? 0 : 1];
    m_deletionLine->setText(deletionText(*report));
    m_deletionLine->show();
}
