#include "organize/HistoryCard.h"

#include "core/Clock.h"
#include "organize/ReOrganizerViewModel.h"
#include "ui/LabelContent.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
QWidget* marker()
{
    auto* dot = new QWidget;
    dot->setFixedSize(32, 32);
    dot->setAttribute(Qt::WA_TranslucentBackground);
    return dot;
}

// A symbol beside a text, both in the small tertiary style.
QWidget* detail(const QString& symbol, const QString& text)
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(new StyledSymbol(symbol));
    row->addWidget(inheritingLabel(text));
    applyTextStyle(*box, PremiumTheme::smallLabelFont(), PremiumTheme::textTertiary());
    return box;
}

PlainButton* makeUndoButton()
{
    auto* button =
        new PlainButton(RoundedBackground::tinted(8, PremiumTheme::warning(), 0.1, 0), QMargins(16, 8, 16, 8));
    button->setHoverBackground(RoundedBackground::tinted(8, PremiumTheme::warning(), 0.2, 0));
    button->contentLayout()->setSpacing(6);
    button->contentLayout()->addWidget(new StyledSymbol(u"arrow.uturn.backward"_s));
    button->contentLayout()->addWidget(inheritingLabel(u"Undo"_s));
    button->setTextStyle(PremiumTheme::labelFont(), PremiumTheme::warning());
    button->setObjectName(u"undo"_s);
    return button;
}
} // namespace

HistoryCard::HistoryCard(const OrganizeService::HistoryOperation& operation, ReOrganizerViewModel& viewModel,
                         QWidget* parent)
    : QWidget(parent)
    , m_operation(operation)
    , m_undo(makeUndoButton())
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(16);
    row->addWidget(marker());
    auto* text = new QVBoxLayout;
    text->setSpacing(6);
    auto* description = makeTextLabel(operation.description, PremiumTheme::bodyFont(), PremiumTheme::textPrimary());
    description->setWordWrap(true);
    text->addWidget(description);
    auto* details = new QHBoxLayout;
    details->setSpacing(12);
    details->addWidget(detail(u"doc.fill"_s, u"%1 files"_s.arg(operation.moveCount)));
    details->addWidget(detail(u"clock"_s, relativeTimeText(operation.timestamp, Clock::now())));
    details->addStretch();
    text->addLayout(details);
    row->addLayout(text, 1);
    row->addWidget(m_undo, 0, Qt::AlignVCenter);
    connect(m_undo, &QAbstractButton::clicked, this, [&viewModel, id = operation.id] { viewModel.undo(id); });
    const auto followBusy = [this, &viewModel] { m_undo->setEnabled(!viewModel.isBusy()); };
    connect(&viewModel, &ReOrganizerViewModel::changed, this, followBusy);
    followBusy();
}

QString HistoryCard::relativeTimeText(const QDateTime& timestamp, const QDateTime& now)
{
    const qint64 hours = timestamp.secsTo(now) / 3600;
    if (hours < 1)
        return u"Just now"_s;
    if (hours > 23)
        return QString::number(hours / 24) + u"d ago"_s;
    return QString::number(hours) + u"h ago"_s;
}

void HistoryCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RoundedBackground{12, PremiumTheme::surface(), Qt::transparent, 0, std::nullopt}.paint(painter, QRectF(rect()));
    // The marker: a faint green disc around a small solid one.
    const QWidget* dot = layout()->itemAt(0)->widget();
    const QPointF centre = QRectF(dot->geometry()).center();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(PremiumTheme::success(), 0.2));
    painter.drawEllipse(centre, 16, 16);
    painter.setBrush(PremiumTheme::success());
    painter.drawEllipse(centre, 4, 4);
}
