#include "ComponentGallery.h"

#include "ui/BlurView.h"
#include "ui/BlurredGlow.h"
#include "ui/ConfettiView.h"
#include "ui/DimmedBackdrop.h"
#include "ui/GlassCard.h"
#include "ui/GlassTextField.h"
#include "ui/GlowEffect.h"
#include "ui/GradientButton.h"
#include "ui/LabelContent.h"
#include "ui/LinearProgressBar.h"
#include "ui/PlainButton.h"
#include "ui/PremiumGlassCard.h"
#include "ui/PremiumTheme.h"
#include "ui/ProgressRing.h"
#include "ui/ShimmerEffect.h"
#include "ui/StyledSymbol.h"
#include "ui/SymbolLabel.h"
#include "ui/SymbolRegistry.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QVBoxLayout>

#include <functional>

using namespace Qt::StringLiterals;

namespace {
QLabel* text(const QString& content, const QFont& font, const QColor& color, QWidget* parent = nullptr)
{
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

// A widget that paints itself with a function: enough for token samples.
class Canvas : public QWidget
{
public:
    Canvas(QSize size, std::function<void(QPainter&, QRectF)> paint)
        : m_paint(std::move(paint))
    {
        setFixedSize(size);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        m_paint(painter, QRectF(rect()));
    }

private:
    std::function<void(QPainter&, QRectF)> m_paint;
};

QWidget* colourSwatches()
{
    using namespace PremiumTheme;
    const std::vector<std::pair<QString, QColor>> tokens = {
        {u"primary"_s, primary()},
        {u"secondary"_s, secondary()},
        {u"background"_s, background()},
        {u"surface"_s, surface()},
        {u"surfaceElevated"_s, surfaceElevated()},
        {u"glassFill"_s, glassFill()},
        {u"glassBorder"_s, glassBorder()},
        {u"textPrimary"_s, textPrimary()},
        {u"textSecondary"_s, textSecondary()},
        {u"textTertiary"_s, textTertiary()},
        {u"success"_s, success()},
        {u"error"_s, error()},
        {u"warning"_s, warning()},
        {u"info"_s, info()},
    };
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(14);
    layout->setVerticalSpacing(10);
    int index = 0;
    for (const auto& [name, color] : tokens) {
        auto* cell = new QWidget;
        auto* column = new QVBoxLayout(cell);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(4);
        column->addWidget(new Canvas(QSize(96, 44), [color](QPainter& p, QRectF r) {
            QPainterPath shape;
            shape.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
            p.fillPath(shape, color);
            p.strokePath(shape, QPen(PremiumTheme::glassBorder(), 1));
        }));
        column->addWidget(text(name, PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary()));
        layout->addWidget(cell, index / 7, index % 7);
        ++index;
    }
    return grid;
}

QWidget* typeScale()
{
    using namespace PremiumTheme;
    const std::vector<std::pair<QString, QFont>> fonts = {
        {u"titleFont 32 semibold"_s, titleFont()},   {u"headingFont 24 medium"_s, headingFont()},
        {u"bodyLargeFont 17"_s, bodyLargeFont()},    {u"bodyFont 15"_s, bodyFont()},
        {u"captionFont 13"_s, captionFont()},        {u"buttonFont 15 semibold"_s, buttonFont()},
        {u"labelFont 13 medium"_s, labelFont()},     {u"smallLabelFont 11 medium"_s, smallLabelFont()},
        {u"monoFont 13 — 0123456789"_s, monoFont()},
    };
    auto* box = new QWidget;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    for (const auto& [name, font] : fonts)
        column->addWidget(text(name, font, textPrimary()));
    return box;
}

QWidget* springCurves()
{
    return new Canvas(QSize(380, 150), [](QPainter& p, QRectF r) {
        const QRectF plot = r.adjusted(8, 14, -8, -22);
        p.setPen(QPen(PremiumTheme::glassBorder(), 1));
        p.drawLine(plot.bottomLeft(), plot.bottomRight());
        p.drawLine(QPointF(plot.left(), plot.top() + plot.height() * 0.15),
                   QPointF(plot.right(), plot.top() + plot.height() * 0.15));
        const std::vector<std::pair<Spring, QColor>> springs = {
            {PremiumTheme::standardSpring(), PremiumTheme::primary()},
            {Spring{0.3, 0.6, 0}, PremiumTheme::secondary()},
            {Spring{0.5, 0.6, 0}, PremiumTheme::info()},
            {Spring{0.4, 1.0, 0}, PremiumTheme::success()},
        };
        const qreal longest = 1.2;
        for (const auto& [spring, color] : springs) {
            QPainterPath path;
            for (int i = 0; i <= 120; ++i) {
                const qreal t = longest * i / 120;
                const qreal value = spring.displacement(t);
                const QPointF point(plot.left() + plot.width() * t / longest,
                                    plot.bottom() - plot.height() * 0.85 * value);
                i == 0 ? path.moveTo(point) : path.lineTo(point);
            }
            p.setPen(QPen(color, 2));
            p.drawPath(path);
        }
        p.setPen(PremiumTheme::textTertiary());
        p.setFont(PremiumTheme::smallLabelFont());
        p.drawText(r.adjusted(8, 0, 0, 0), Qt::AlignBottom | Qt::AlignLeft,
                   u"springs: standard 0.3/0.7 · 0.3/0.6 · 0.5/0.6 · 0.4/1.0 (1.2 s)"_s);
    });
}

QWidget* symbolGrid()
{
    const QStringList names = SymbolRegistry::names();
    static constexpr int columns = 9;
    static constexpr QSize cell(150, 52);
    const int rows = int((names.size() + columns - 1) / columns);
    return new Canvas(QSize(columns * cell.width(), rows * cell.height()), [names](QPainter& p, QRectF) {
        p.setFont(PremiumTheme::smallLabelFont());
        for (int i = 0; i < names.size(); ++i) {
            const QRectF box(QPointF((i % columns) * cell.width(), (i / columns) * cell.height()), QSizeF(cell));
            const QColor tint = i % 4 == 0 ? PremiumTheme::primary() : PremiumTheme::textPrimary();
            SymbolRegistry::paint(p, QRectF(box.center().x() - 11, box.top() + 2, 22, 22), names[i], tint);
            p.setPen(PremiumTheme::textTertiary());
            // Long names are elided so that neighbours never overlap.
            const QString name = p.fontMetrics().elidedText(names[i], Qt::ElideMiddle, cell.width() - 8);
            p.drawText(box.adjusted(0, 28, 0, 0), Qt::AlignHCenter | Qt::AlignTop, name);
        }
    });
}

QWidget* processingCard()
{
    auto* card = new PremiumGlassCard(32, 48, false);
    card->setFixedSize(500, 500);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(24);
    column->addStretch();
    column->addWidget(new SymbolLabel(u"wand.and.stars"_s, 64, PremiumTheme::textPrimary()), 0, Qt::AlignHCenter);
    auto* title = text(u"Organizing Your Screenshots"_s, PremiumTheme::headingFont(), PremiumTheme::textPrimary());
    column->addWidget(title, 0, Qt::AlignHCenter);
    column->addWidget(
        text(u"Analyzing text and visual details..."_s, PremiumTheme::bodyFont(), PremiumTheme::textSecondary()), 0,
        Qt::AlignHCenter);
    column->addWidget(new Canvas(QSize(400, 24),
                                 [](QPainter& p, QRectF r) {
                                     const QRectF track(r.left(), r.center().y() - 4, r.width(), 8);
                                     p.setPen(Qt::NoPen);
                                     p.setBrush(QColor(255, 255, 255, 26));
                                     p.drawRoundedRect(track, 4, 4);
                                     const QRectF fill(track.left(), track.top(), track.width() * 0.62, track.height());
                                     p.setBrush(PremiumTheme::primaryGradient());
                                     p.drawRoundedRect(fill, 4, 4);
                                 }),
                      0, Qt::AlignHCenter);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch();
    buttons->addWidget(new GradientButton(u"Choose Folder"_s, u"folder.badge.plus"_s));
    buttons->addWidget(new GradientButton(u"Continue"_s));
    buttons->addStretch();
    column->addLayout(buttons);
    column->addWidget(new GlassTextField(u"Search screenshots"_s, u"magnifyingglass"_s));
    column->addStretch();
    card->setContent(content);
    return card;
}

QWidget* materials()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    const std::vector<std::pair<QString, BlurView::Material>> kinds = {
        {u"sidebar"_s, BlurView::Material::sidebar},     {u"hudWindow"_s, BlurView::Material::hudWindow},
        {u"popover"_s, BlurView::Material::popover},     {u"thin"_s, BlurView::Material::thin},
        {u"ultraThin"_s, BlurView::Material::ultraThin},
    };
    for (const auto& [name, material] : kinds) {
        auto* panel = new BlurView(material);
        panel->setCornerRadius(12);
        panel->setFixedSize(104, 64);
        auto* inner = new QVBoxLayout(panel);
        inner->addWidget(text(name, PremiumTheme::labelFont(), PremiumTheme::textSecondary()), 0, Qt::AlignCenter);
        layout->addWidget(panel);
    }
    layout->addStretch();
    return row;
}

// A titled button of the tool screens: labelContent in a stack styled by the
// button, on the given background.
PlainButton* toolButton(const QString& symbol, const QString& title, const RoundedBackground& background,
                        const QColor& textColor)
{
    auto* button = new PlainButton(background, QMargins(20, 16, 20, 16));
    button->contentLayout()->setSpacing(12);
    button->contentLayout()->addStretch();
    labelContent(*button->contentLayout(), symbol, title);
    button->contentLayout()->addStretch();
    button->setTextStyle(PremiumTheme::buttonFont(), textColor);
    return button;
}

QWidget* toolCard()
{
    auto* card = new GlassCard;
    card->setFixedWidth(460);
    QBoxLayout* column = card->contentLayout();
    column->setSpacing(20);
    auto* heading = new QHBoxLayout;
    heading->addWidget(new StyledSymbol(u"slider.horizontal.3"_s, PremiumTheme::primaryGradient(), 16));
    heading->addWidget(text(u"Glass card"_s, PremiumTheme::buttonFont(), PremiumTheme::textPrimary()));
    heading->addStretch();
    column->addLayout(heading);

    auto* clear =
        new PlainButton(RoundedBackground::tinted(8, PremiumTheme::error(), 0.1, 0.3), QMargins(12, 6, 12, 6));
    clear->contentLayout()->setSpacing(6);
    labelContent(*clear->contentLayout(), u"trash"_s, u"Clear History"_s);
    clear->setTextStyle(PremiumTheme::smallLabelFont(), PremiumTheme::error());
    column->addWidget(clear, 0, Qt::AlignLeft);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(16);
    actions->addWidget(toolButton(u"xmark"_s, u"Cancel"_s, RoundedBackground::glass(12), PremiumTheme::textPrimary()));
    RoundedBackground gradient{12, PremiumTheme::primaryGradient(), Qt::transparent, 0, std::nullopt};
    gradient.shadow = RoundedBackground::Shadow{withOpacity(PremiumTheme::primary(), 0.5), 20, QPointF(0, 10)};
    actions->addWidget(toolButton(u"bolt.fill"_s, u"Organize Now"_s, gradient, Qt::white));
    column->addLayout(actions);
    return card;
}

// A stand-in screen under a progress overlay. The overlay of the app covers
// the whole window it is in; here its backdrop and panel are stacked over
// the stand-in alone, so the rest of the sheet stays undimmed.
QWidget* overlayDemo()
{
    auto* screen = new QWidget;
    screen->setFixedSize(520, 360);
    auto* stack = new QGridLayout(screen);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* under = new QWidget;
    auto* column = new QVBoxLayout(under);
    column->addWidget(text(u"Content under the overlay"_s, PremiumTheme::headingFont(), PremiumTheme::textPrimary()), 0,
                      Qt::AlignTop | Qt::AlignLeft);
    stack->addWidget(under, 0, 0);
    stack->addWidget(new DimmedBackdrop, 0, 0);

    auto* panel = new RoundedPanel(RoundedBackground::overlayPanel(), 28);
    QBoxLayout* content = panel->contentLayout();
    content->setSpacing(14);
    auto* ring = new ProgressRing({withOpacity(PremiumTheme::primary(), 0.2), PremiumTheme::primaryGradient(),
                                   u"folder.badge.gearshape"_s, PremiumTheme::primaryGradient(), 40});
    ring->setFraction(0.62);
    content->addWidget(ring, 0, Qt::AlignHCenter);
    content->addWidget(text(u"62 of 100 files"_s, PremiumTheme::bodyFont(), PremiumTheme::textSecondary()), 0,
                       Qt::AlignHCenter);
    auto* bar = new LinearProgressBar;
    bar->setFixedWidth(300);
    bar->setProgress(62, 100);
    content->addWidget(bar, 0, Qt::AlignHCenter);
    stack->addWidget(panel, 0, 0, Qt::AlignCenter);
    return screen;
}

QWidget* successBadge()
{
    auto* badge = new QWidget;
    badge->setFixedSize(120, 120);
    auto* centre = new QVBoxLayout(badge);
    centre->setContentsMargins(0, 0, 0, 0);
    auto* symbol = new StyledSymbol(u"checkmark.circle.fill"_s, PremiumTheme::success(), 80);
    centre->addWidget(symbol, 0, Qt::AlignCenter);
    badge->setGraphicsEffect(new GlowEffect(withOpacity(PremiumTheme::success(), 0.2), 120, 30));
    return badge;
}

QWidget* toolBlocks()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(40);
    layout->addWidget(toolCard(), 0, Qt::AlignTop);
    layout->addWidget(overlayDemo(), 0, Qt::AlignTop);
    layout->addWidget(successBadge(), 0, Qt::AlignVCenter);
    layout->addStretch();
    return row;
}

QLabel* heading(const QString& title)
{
    return text(title, PremiumTheme::labelFont(), PremiumTheme::textTertiary());
}
} // namespace

ComponentGallery::ComponentGallery(QWidget* parent)
    : QWidget(parent)
    , m_confetti(new ConfettiView(this))
{
    setWindowTitle(u"Glimmerdeck components"_s);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(48, 40, 48, 40);
    page->setSpacing(28);
    page->addWidget(text(u"Glimmerdeck design tokens"_s, PremiumTheme::titleFont(), PremiumTheme::textPrimary()));

    auto* top = new QHBoxLayout;
    top->setSpacing(48);
    auto* left = new QVBoxLayout;
    left->setSpacing(12);
    left->addWidget(heading(u"COLOURS"_s));
    left->addWidget(colourSwatches());
    auto* gradient = new Canvas(QSize(760, 40), [](QPainter& p, QRectF r) {
        QPainterPath shape;
        shape.addRoundedRect(r, 12, 12);
        p.fillPath(shape, PremiumTheme::primaryGradient());
    });
    // The sheen caught mid-sweep.
    ShimmerEffect::apply(gradient)->setPhase(220);
    left->addWidget(heading(u"PRIMARY GRADIENT WITH SHIMMER"_s));
    left->addWidget(gradient);
    auto* lower = new QHBoxLayout;
    lower->setSpacing(40);
    auto* typeColumn = new QVBoxLayout;
    typeColumn->addWidget(heading(u"TYPE SCALE (INTER, PIXELS)"_s));
    typeColumn->addWidget(typeScale());
    typeColumn->addStretch();
    auto* motionColumn = new QVBoxLayout;
    motionColumn->addWidget(heading(u"MOTION"_s));
    motionColumn->addWidget(springCurves());
    motionColumn->addWidget(heading(u"MATERIALS"_s));
    motionColumn->addWidget(materials());
    motionColumn->addStretch();
    lower->addLayout(typeColumn);
    lower->addLayout(motionColumn);
    left->addLayout(lower);
    top->addLayout(left);
    top->addWidget(processingCard(), 0, Qt::AlignTop);
    top->addStretch();
    page->addLayout(top);

    page->addWidget(heading(u"SYMBOLS"_s));
    page->addWidget(symbolGrid());
    page->addWidget(heading(u"TOOL SCREEN BLOCKS"_s));
    page->addWidget(toolBlocks());
    page->addStretch();

    static QRandomGenerator confettiRandom(2024);
    m_confetti->setRandomGenerator(&confettiRandom);
    m_confetti->setGeometry(0, 0, 1200, 700);
}

void ComponentGallery::advanceConfetti(int ticks)
{
    m_confetti->raise();
    for (int i = 0; i < ticks; ++i)
        m_confetti->tick();
}

void ComponentGallery::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), PremiumTheme::background());
    QColor primary = PremiumTheme::primary();
    primary.setAlphaF(0.2f);
    QColor secondary = PremiumTheme::secondary();
    secondary.setAlphaF(0.2f);
    const QPointF cardCentre(width() - 330, 330);
    BlurredGlow::paint(painter, cardCentre - QPointF(200, 200), primary, 600, 100);
    BlurredGlow::paint(painter, cardCentre + QPointF(200, 200), secondary, 500, 100);
}
