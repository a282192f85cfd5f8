#include "organize/HistoryTimelineSection.h"

#include "organize/HistoryCard.h"
#include "organize/ReOrganizerViewModel.h"
#include "ui/LabelContent.h"
#include "ui/Motion.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace Qt::StringLiterals;

namespace {
const RoundedBackground bare{0, Qt::NoBrush, Qt::transparent, 0, std::nullopt};
}

HistoryTimelineSection::HistoryTimelineSection(ReOrganizerViewModel& viewModel, QWidget* parent)
    : GlassCard(QBoxLayout::TopToBottom, parent)
    , m_viewModel(viewModel)
    , m_heading(new PlainButton(bare, QMargins()))
    , m_count(makeTextLabel(QString(), PremiumTheme::smallLabelFont(), PremiumTheme::textTertiary()))
    , m_chevron(new StyledSymbol(u"chevron.up"_s, PremiumTheme::textSecondary(), 12))
    , m_clear(new PlainButton(RoundedBackground::tinted(8, PremiumTheme::error(), 0.1, 0.3), QMargins(12, 6, 12, 6)))
    , m_list(new QWidget)
{
    contentLayout()->setSpacing(16);
    QBoxLayout* heading = m_heading->contentLayout();
    heading->setSpacing(8);
    heading->addWidget(new StyledSymbol(u"clock.arrow.circlepath"_s, PremiumTheme::primaryGradient(), 16));
    heading->addWidget(
        makeTextLabel(u"Organization History"_s, PremiumTheme::buttonFont(), PremiumTheme::textPrimary()));
    heading->addStretch();
    heading->addWidget(m_count);
    heading->addWidget(m_chevron);
    contentLayout()->addWidget(m_heading);
    connect(m_heading, &QAbstractButton::clicked, this, [this] { setExpanded(!m_isExpanded); });

    m_clear->contentLayout()->setSpacing(6);
    labelContent(*m_clear->contentLayout(), u"trash"_s, u"Clear History"_s);
    m_clear->setTextStyle(PremiumTheme::smallLabelFont(), PremiumTheme::error());
    m_clear->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    contentLayout()->addWidget(m_clear, 0, Qt::AlignLeft);
    connect(m_clear, &QAbstractButton::clicked, &viewModel, &ReOrganizerViewModel::clearHistory);

    auto* list = new QVBoxLayout(m_list);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(12);
    contentLayout()->addWidget(m_list);
    connect(&viewModel, &ReOrganizerViewModel::changed, this, &HistoryTimelineSection::refresh);
    refresh();
}

void HistoryTimelineSection::setExpanded(bool expanded)
{
    m_isExpanded = expanded;
    m_chevron->setSymbolName(expanded ? u"chevron.up"_s : u"chevron.down"_s);
    const auto settle = [this] {
        m_revealed = m_isExpanded ? 1 : 0;
        m_list->setMaximumHeight(QWIDGETSIZE_MAX);
        m_list->setVisible(m_isExpanded);
    };
    if (!isVisible()) {
        settle();
        return;
    }
    m_list->setVisible(true);
    QVariantAnimation* animation =
        Motion::animate(this, "revealed", expanded ? 1.0 : 0.0, PremiumTheme::standardSpring());
    if (animation)
        connect(animation, &QAbstractAnimation::finished, this, settle);
    else
        settle();
}

void HistoryTimelineSection::setRevealed(qreal revealed)
{
    m_revealed = revealed;
    m_list->setMaximumHeight(std::max(0, qRound(m_list->sizeHint().height() * revealed)));
}

QList<HistoryCard*> HistoryTimelineSection::cards() const
{
    return m_list->findChildren<HistoryCard*>(QString(), Qt::FindDirectChildrenOnly);
}

void HistoryTimelineSection::refresh()
{
    const qsizetype count = m_viewModel.history().operations.size();
    m_count->setText(u"%1 operations"_s.arg(count));
    m_clear->setVisible(count > 0);
    m_clear->setEnabled(!m_viewModel.isUndoing());
    syncCards();
}

void HistoryTimelineSection::syncCards()
{
    auto* list = static_cast<QVBoxLayout*>(m_list->layout());
    for (HistoryCard* card : std::as_const(m_cards))
        list->removeWidget(card);
    QHash<QUuid, HistoryCard*> kept;
    int position = 0;
    for (const auto& operation : m_viewModel.history().operations) {
        HistoryCard* card = m_cards.take(operation.id);
        if (!card || !(card->operation() == operation)) {
            if (card) {
                card->hide();
                card->deleteLater();
            }
            card = new HistoryCard(operation, m_viewModel);
        }
        list->insertWidget(position++, card);
        kept.insert(operation.id, card);
    }
    for (HistoryCard* gone : std::as_const(m_cards)) {
        gone->hide();
        gone->deleteLater();
    }
    m_cards = kept;
}
