#include "duplicates/DuplicateGroupRow.h"

#include "core/ByteCount.h"
#include "duplicates/DuplicateThumbnailCard.h"
#include "duplicates/TitledButton.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace {
TitledButtonStyle outlinedStyle()
{
    return {PremiumTheme::labelFont(), PremiumTheme::primary(), outlinedBackground(6, PremiumTheme::primary(), 1.5),
            QMargins(16, 8, 16, 8), 6};
}

RoundedBackground deleteBackground(bool enabled)
{
    return filledBackground(6, withOpacity(PremiumTheme::error(), enabled ? 1.0 : 0.4));
}
} // namespace

DuplicateGroupRow::DuplicateGroupRow(const DuplicateGroup& group, MemberThumbnails& thumbnails,
                                     const QSet<QUuid>& selectedForDeletion, QWidget* parent)
    : RoundedPanel(filledBackground(12, PremiumTheme::surface()), 20, QBoxLayout::TopToBottom, parent)
    , m_group(group)
{
    contentLayout()->setSpacing(16);
    contentLayout()->addWidget(makeHeading());
    contentLayout()->addWidget(makeMemberStrip(thumbnails));
    contentLayout()->addLayout(makeActionBar());
    setSelected(selectedForDeletion);
}

QWidget* DuplicateGroupRow::makeHeading() const
{
    auto* heading = new QWidget;
    auto* stack = new QVBoxLayout(heading);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    const qsizetype members = m_group.screenshots.size();
    stack->addWidget(
        makeTextLabel(u"%1 Identical Files"_s.arg(members), PremiumTheme::buttonFont(), PremiumTheme::textPrimary()));
    stack->addWidget(makeTextLabel(
        u"%1 can be saved by keeping one"_s.arg(formatFileByteCount(DuplicateFinderService::reclaimableBytes(m_group))),
        PremiumTheme::labelFont(), PremiumTheme::success()));
    return heading;
}

QWidget* DuplicateGroupRow::makeMemberStrip(MemberThumbnails& thumbnails)
{
    auto* strip = new QWidget;
    auto* cards = new QHBoxLayout(strip);
    cards->setContentsMargins(0, 8, 0, 8);
    cards->setSpacing(16);
    for (const Screenshot& member : m_group.screenshots) {
        auto* card = new DuplicateThumbnailCard(member, thumbnails);
        connect(card, &DuplicateThumbnailCard::previewRequested, this, [this] { emit previewRequested(m_group); });
        connect(card, &DuplicateThumbnailCard::selectionToggled, this, [this, id = member.id](bool selected) {
            QSet<QUuid> marks = m_selected;
            if (selected)
                marks.insert(id);
            else
                marks.remove(id);
            setSelected(std::move(marks));
        });
        cards->addWidget(card);
        m_cards.append(card);
    }
    cards->addStretch();

    auto* scroller = new QScrollArea;
    scroller->setWidget(strip);
    strip->setAutoFillBackground(false); // setWidget() turned it on
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setFixedHeight(strip->sizeHint().height());
    scroller->viewport()->setAutoFillBackground(false);
    return scroller;
}

QLayout* DuplicateGroupRow::makeActionBar()
{
    auto* bar = new QHBoxLayout;
    bar->setSpacing(12);
    m_keepNewest = makeTitledButton(u"clock"_s, u"Keep Newest"_s, outlinedStyle());
    m_keepOldest = makeTitledButton(u"clock.arrow.circlepath"_s, u"Keep Oldest"_s, outlinedStyle());
    m_delete =
        makeTitledButton(u"trash"_s, u"Delete %1"_s.arg(0),
                         {PremiumTheme::labelFont(), Qt::white, deleteBackground(true), QMargins(20, 8, 20, 8), 6});
    connect(m_keepNewest, &QAbstractButton::clicked, this, [this] { selectAllExcept(m_group.newestScreenshot()); });
    connect(m_keepOldest, &QAbstractButton::clicked, this, [this] { selectAllExcept(m_group.oldestScreenshot()); });
    connect(m_delete, &QAbstractButton::clicked, this, &DuplicateGroupRow::deleteSelected);
    bar->addWidget(m_keepNewest);
    bar->addWidget(m_keepOldest);
    bar->addStretch();
    bar->addWidget(m_delete);
    return bar;
}

void DuplicateGroupRow::selectAllExcept(const Screenshot& kept)
{
    QSet<QUuid> marks;
    for (const Screenshot& member : m_group.screenshots) {
        if (member.id != kept.id)
            marks.insert(member.id);
    }
    setSelected(std::move(marks));
}

void DuplicateGroupRow::deleteSelected()
{
    if (m_selected.isEmpty() || !m_delete->isEnabled())
        return;
    const QList<QUuid> ids(m_selected.cbegin(), m_selected.cend());
    setSelected({});
    emit deleteRequested(ids);
}

void DuplicateGroupRow::setSelected(QSet<QUuid> selected)
{
    m_selected = std::move(selected);
    for (DuplicateThumbnailCard* card : std::as_const(m_cards))
        card->setSelected(m_selected.contains(card->screenshot().id));
    titleOf(*m_delete)->setText(u"Delete %1"_s.arg(m_selected.size()));
    // Deleting every member would leave no copy at all.
    const bool allMarked = m_selected.size() >= m_group.screenshots.size();
    m_delete->setEnabled(!allMarked);
    m_delete->setBackground(deleteBackground(!allMarked));
    m_delete->setVisible(!m_selected.isEmpty());
    emit selectionChanged(m_selected);
}
