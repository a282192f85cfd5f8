#include "app/WelcomeView.h"

#include "app/AppSymbolView.h"
#include "app/Onboarding.h"
#include "app/WelcomeActionButton.h"
#include "core/Clock.h"
#include "ingest/ScreenshotMonitor.h"
#include "ui/AnimatedChange.h"
#include "ui/BlurredGlow.h"
#include "ui/ColorFromHex.h"
#include "ui/ConfettiView.h"
#include "ui/Motion.h"
#include "ui/PremiumGlassCard.h"
#include "ui/PremiumTheme.h"
#include "ui/TextLabel.h"

#include <QGraphicsDropShadowEffect>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// Seconds between 1970-01-01 and 2001-01-01, both UTC.
constexpr double referenceDateOffset = 978307200.0;
// The glows are dim and drift slowly (at most about 40 points a second): a
// frame every 66 ms moves their edges by under one colour step, so the drift
// looks as continuous as at every display frame, for a quarter of the drawing.
constexpr int frameIntervalMs = 66;

struct GlowStyle
{
    QColor color;
    qreal diameter;
    qreal blurRadius;
};

std::array<GlowStyle, 3> glowStyles()
{
    return {{
        {withAlpha(colorFromHex(u"4A0E4E"_s), 0.3f), 600, 120},
        {withAlpha(colorFromHex(u"1A1A40"_s), 0.4f), 500, 100},
        {withAlpha(PremiumTheme::accent(), 0.1f), 400, 80},
    }};
}

QLabel* subtitleLabel()
{
    const QFont font = PremiumTheme::systemFont(15);
    auto* label = makeTextLabel(QString(), font, PremiumTheme::textSecondary());
    label->setTextFormat(Qt::RichText);
    // Six points between the lines, as a fixed line height.
    const int lineHeight = QFontMetrics(font).lineSpacing() + 6;
    label->setText(u"<div align=\"center\" style=\"line-height:%1px\">Your messy screenshot folder,<br>"
                   "instantly organized and searchable.</div>"_s.arg(lineHeight));
    label->setAlignment(Qt::AlignCenter);
    return label;
}
} // namespace

WelcomeView::WelcomeView(ScreenshotMonitor& monitor, Settings& settings, QWidget* parent)
    : QWidget(parent)
    , m_monitor(monitor)
    , m_settings(settings)
    , m_card(new PremiumGlassCard(32, 50, false, this))
{
    setMinimumSize(800, 600);
    m_card->setFixedSize(cardSize);
    m_card->setContent(buildCardContent());
    m_frameTimer.setInterval(frameIntervalMs);
    connect(&m_frameTimer, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    setEntranceProgress(0);
}

QWidget* WelcomeView::buildCardContent()
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(40);
    column->addStretch();

    m_symbol = new AppSymbolView(u"photo.stack.fill"_s, 80);
    column->addWidget(m_symbol, 0, Qt::AlignHCenter);

    auto* titleBlock = new QVBoxLayout;
    titleBlock->setSpacing(16);
    auto* title = makeTextLabel(u"Welcome to Glimmerdeck"_s, PremiumTheme::systemFont(42, QFont::Bold), Qt::white);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    auto* titleShadow = new QGraphicsDropShadowEffect(title);
    titleShadow->setColor(QColor(0, 0, 0, 77));
    titleShadow->setBlurRadius(2);
    titleShadow->setOffset(0, 2);
    title->setGraphicsEffect(titleShadow);
    titleBlock->addWidget(title);
    titleBlock->addWidget(subtitleLabel());
    column->addLayout(titleBlock);

    m_button = new WelcomeActionButton(u"Choose Folder to Monitor"_s, u"folder.badge.plus"_s);
    connect(m_button, &QAbstractButton::clicked, this, &WelcomeView::chooseFolder);
    column->addWidget(m_button, 0, Qt::AlignHCenter);

    QColor faint(Qt::white);
    faint.setAlphaF(0.4f);
    auto* note = makeTextLabel(u"We'll scan this folder for screenshots. No data leaves your device."_s,
                               PremiumTheme::systemFont(10), faint);
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    note->setContentsMargins(0, 10, 0, 0);
    column->addWidget(note);
    column->addStretch();
    return content;
}

void WelcomeView::chooseFolder()
{
    const QPointer<WelcomeView> self(this);
    m_monitor.requestFolderAccess();
    if (!self || !m_monitor.hasFileAccess())
        return;
    showConfetti();
    // Precise: a coarse timer may fire up to 5 % early.
    QTimer::singleShot(completionDelayMs, Qt::PreciseTimer, this, &WelcomeView::completeOnboarding);
}

bool WelcomeView::isShowingConfetti() const
{
    return m_confetti != nullptr;
}

void WelcomeView::showConfetti()
{
    if (m_confetti)
        return;
    m_confetti = new ConfettiView(this);
    m_confetti->setGeometry(rect());
    m_confetti->raise();
    m_confetti->show();
}

void WelcomeView::completeOnboarding()
{
    const AnimatedChange change(QEasingCurve::InOutQuad, 500);
    Onboarding::setComplete(m_settings, true);
}

void WelcomeView::setEntranceProgress(qreal progress)
{
    m_entranceProgress = progress;
    m_symbol->setAppearance(progress);
    // An opacity effect renders the whole card off screen; keep it only while
    // the card is see-through.
    if (progress < 1.0) {
        auto* fade = qobject_cast<QGraphicsOpacityEffect*>(m_card->graphicsEffect());
        if (!fade) {
            fade = new QGraphicsOpacityEffect(m_card);
            m_card->setGraphicsEffect(fade);
        }
        fade->setOpacity(progress);
    } else {
        m_card->setGraphicsEffect(nullptr);
    }
    placeCard();
}

void WelcomeView::placeCard()
{
    const QPoint centre = rect().center() + QPoint(1, 1);
    const int rise = qRound(entranceRise * (1.0 - m_entranceProgress));
    m_card->move(centre.x() - cardSize.width() / 2, centre.y() - cardSize.height() / 2 + rise);
}

std::array<WelcomeView::Glow, 3> WelcomeView::backgroundGlows(double t)
{
    return {{
        {QPointF(50 * std::sin(0.5 * t) - 200, 50 * std::cos(0.3 * t) - 200), 1},
        {QPointF(50 * std::sin(0.4 * t) + 200, 50 * std::cos(0.6 * t) + 200), 1},
        {QPointF(0, 0), 1 + 0.1 * std::sin(0.8 * t)},
    }};
}

void WelcomeView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const double t = Clock::nowMSecsSinceEpoch() / 1000.0 - referenceDateOffset;
    const auto glows = backgroundGlows(t);
    const auto styles = glowStyles();
    const QPointF centre = QRectF(rect()).center();
    for (std::size_t i = 0; i < glows.size(); ++i) {
        painter.save();
        painter.translate(centre + glows[i].offset);
        painter.scale(glows[i].scale, glows[i].scale);
        BlurredGlow::paint(painter, QPointF(0, 0), styles[i].color, styles[i].diameter, styles[i].blurRadius);
        painter.restore();
    }
}

void WelcomeView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeCard();
    if (m_confetti)
        m_confetti->setGeometry(rect());
}

void WelcomeView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!Motion::isInstant())
        m_frameTimer.start();
    if (!m_hasEntered) {
        m_hasEntered = true;
        Motion::animate(this, "entranceProgress", 1.0, QEasingCurve::OutCubic, entranceMs);
    }
}

void WelcomeView::hideEvent(QHideEvent* event)
{
    m_frameTimer.stop();
    QWidget::hideEvent(event);
}
