#include "gallery/GalleryHeader.h"

#include "gallery/HeaderLayout.h"
#include "ui/ActivitySpinner.h"
#include "ui/BlurView.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolLabel.h"
#include "ui/SymbolRegistry.h"
#include "ui/TextLabel.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSlider>
#include <QToolButton>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// A plain symbol button: the symbol with a small margin for the pressed
// and hovered look, no wider.
QToolButton* symbolButton(const QString& objectName, const QString& symbol, int size, const QColor& color)
{
    auto* button = new QToolButton;
    button->setObjectName(objectName);
    button->setProperty("symbolName", symbol);
    button->setIcon(SymbolRegistry::icon(symbol, color));
    button->setIconSize(QSize(size, size));
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedSize(size + 4, size + 4);
    return button;
}

// The title, cut short with an ellipsis (and the whole of it as a tooltip)
// when a narrow window leaves it less room than it needs.
class TitleLabel : public QLabel
{
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(u"W…"_s), QLabel::minimumSizeHint().height()};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(foregroundRole()));
        const QRect box = contentsRect();
        painter.drawText(box, int(alignment()), fontMetrics().elidedText(text(), Qt::ElideRight, box.width()));
    }

    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        setToolTip(width() < sizeHint().width() ? text() : QString());
    }
};

// A rounded translucent panel behind a group of controls.
class Panel : public QWidget
{
public:
    Panel(QColor fill, qreal radius, bool glass)
        : m_fill(fill)
        , m_radius(radius)
        , m_glass(glass)
    {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(Qt::NoPen);
        if (m_glass) {
            painter.setBrush(BlurView::fillColor(BlurView::Material::hudWindow));
            painter.drawRoundedRect(box, m_radius, m_radius);
        }
        painter.setBrush(m_fill);
        painter.drawRoundedRect(box, m_radius, m_radius);
        if (m_glass) {
            QLinearGradient outline(box.topLeft(), box.bottomRight());
            outline.setColorAt(0, QColor(255, 255, 255, 64));
            outline.setColorAt(0.5, QColor(255, 255, 255, 26));
            outline.setColorAt(1, QColor(255, 255, 255, 38));
            painter.setPen(QPen(QBrush(outline), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(box, m_radius, m_radius);
        }
    }

private:
    QColor m_fill;
    qreal m_radius;
    bool m_glass;
};
} // namespace

GalleryHeader::GalleryHeader(const QString& title, bool hasBack, QWidget* parent)
    : QWidget(parent)
{
    auto* lead = new QWidget;
    auto* row = new QHBoxLayout(lead);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    if (hasBack) {
        auto* back = symbolButton(u"back"_s, u"chevron.left"_s, 16, PremiumTheme::textPrimary());
        back->setFixedSize(32, 32);
        back->setStyleSheet(u"QToolButton { background: rgba(255,255,255,26); border-radius: 16px; }"_s);
        connect(back, &QToolButton::clicked, this, &GalleryHeader::backClicked);
        row->addWidget(back);
    }
    auto* titleLabel = new TitleLabel(title);
    titleLabel->setObjectName(u"title"_s);
    titleLabel->setTextFormat(Qt::PlainText);
    titleLabel->setFont(PremiumTheme::systemFont(28, QFont::Bold));
    QPalette palette = titleLabel->palette();
    palette.setColor(QPalette::WindowText, PremiumTheme::textPrimary());
    titleLabel->setPalette(palette);
    row->addWidget(titleLabel, 1);

    QWidget* search = makeSearchGroup();
    QWidget* pill = makeProcessingPill();
    QWidget* toolbar = makeToolbar();
    // Selection mode swaps two buttons for "Done": room is kept for the wider.
    setSelectionMode(true);
    const int selectionWidth = toolbar->sizeHint().width();
    setSelectionMode(false);
    const int toolbarWidest = std::max(selectionWidth, toolbar->sizeHint().width());
    m_layout = new HeaderLayout(lead, search, pill, toolbar, toolbarWidest, this);
    m_layout->setContentsMargins(24, 16, 24, 16);
    m_layout->setSpacing(12);
}

bool GalleryHeader::isOneRow() const
{
    return m_layout->isOneRow(width());
}

QWidget* GalleryHeader::makeSearchGroup()
{
    auto* group = new Panel(QColor(0, 0, 0, 77), 12, true);
    group->setObjectName(u"searchGroup"_s);
    RoundedBackground{12, Qt::NoBrush, Qt::transparent, 0,
                      RoundedBackground::Shadow{withOpacity(Qt::black, 0.2), 8, QPointF(0, 4)}}
        .applyShadow(*group);
    auto* row = new QHBoxLayout(group);
    row->setSpacing(12);
    row->setContentsMargins(16, 12, 16, 12);
    row->addWidget(new SymbolLabel(u"magnifyingglass"_s, 16, PremiumTheme::textSecondary()));
    m_search = new QLineEdit;
    m_search->setObjectName(u"search"_s);
    m_search->setPlaceholderText(u"Search screenshots..."_s);
    m_search->setFont(PremiumTheme::systemFont(14));
    m_search->setFrame(false);
    m_search->setMinimumWidth(searchFieldMinWidth);
    m_search->setMaximumWidth(searchFieldMaxWidth);
    m_search->setStyleSheet(u"QLineEdit { background: transparent; color: white; }"_s);
    connect(m_search, &QLineEdit::textEdited, this, &GalleryHeader::searchTextEdited);
    row->addWidget(m_search);
    m_clear = symbolButton(u"clearSearch"_s, u"xmark.circle.fill"_s, 16, PremiumTheme::textSecondary());
    // Its place is kept while it is hidden, so the first letter typed moves
    // nothing: neither the field nor the grid below the header.
    QSizePolicy keepPlace = m_clear->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    m_clear->setSizePolicy(keepPlace);
    m_clear->setVisible(false);
    connect(m_clear, &QToolButton::clicked, this, &GalleryHeader::clearSearchClicked);
    row->addWidget(m_clear);
    // As wide as the field's range allows, and no wider.
    const int narrowest = group->minimumSizeHint().width();
    group->setMinimumWidth(narrowest);
    group->setMaximumWidth(narrowest + searchFieldMaxWidth - searchFieldMinWidth);
    return group;
}

QWidget* GalleryHeader::makeProcessingPill()
{
    auto* pill = new Panel(QColor(0, 0, 0, 51), 8, false);
    pill->setObjectName(u"processingPill"_s);
    auto* row = new QHBoxLayout(pill);
    row->setSpacing(8);
    row->setContentsMargins(12, 6, 12, 6);
    // The small indicator (16 across), at 0.7 of its size.
    constexpr qreal small = 16.0 / ActivitySpinner::regularDiameter;
    auto* spinner = new ActivitySpinner(small * 0.7);
    spinner->setObjectName(u"processingSpinner"_s);
    spinner->setColor(PremiumTheme::textSecondary());
    row->addWidget(spinner);
    row->addWidget(
        makeTextLabel(u"Processing"_s, PremiumTheme::systemFont(13, QFont::Medium), PremiumTheme::textSecondary()));
    pill->setVisible(false);
    m_processing = pill;
    return pill;
}

QWidget* GalleryHeader::makeToolbar()
{
    auto* toolbar = new QWidget;
    auto* row = new QHBoxLayout(toolbar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(20);
    row->addWidget(makeZoomGroup());
    row->addWidget(makeModePicker());
    m_selectMode = symbolButton(u"selectMode"_s, u"checkmark.circle"_s, 20, PremiumTheme::textSecondary());
    m_selectMode->setToolTip(u"Select Mode"_s);
    connect(m_selectMode, &QToolButton::clicked, this, &GalleryHeader::selectModeClicked);
    m_changeFolder = symbolButton(u"changeFolder"_s, u"folder.badge.gear"_s, 20, PremiumTheme::textSecondary());
    m_changeFolder->setToolTip(u"Change Folder"_s);
    connect(m_changeFolder, &QToolButton::clicked, this, &GalleryHeader::changeFolderClicked);
    m_done = new QToolButton;
    m_done->setObjectName(u"done"_s);
    m_done->setText(u"Done"_s);
    m_done->setAutoRaise(true);
    m_done->setFont(PremiumTheme::systemFont(13, QFont::DemiBold));
    m_done->setStyleSheet(u"QToolButton { color: %1; }"_s.arg(PremiumTheme::accent().name()));
    m_done->setVisible(false);
    connect(m_done, &QToolButton::clicked, this, &GalleryHeader::doneClicked);
    row->addWidget(m_selectMode);
    row->addWidget(m_changeFolder);
    row->addWidget(m_done);
    return toolbar;
}

QWidget* GalleryHeader::makeZoomGroup()
{
    auto* group = new Panel(QColor(0, 0, 0, 77), 8, false);
    auto* row = new QHBoxLayout(group);
    row->setSpacing(8);
    row->setContentsMargins(12, 6, 12, 6);
    auto* zoomOut = symbolButton(u"zoomOut"_s, u"minus.magnifyingglass"_s, 14, PremiumTheme::textSecondary());
    auto* zoomIn = symbolButton(u"zoomIn"_s, u"plus.magnifyingglass"_s, 14, PremiumTheme::textSecondary());
    m_slider = new QSlider(Qt::Horizontal);
    m_slider->setObjectName(u"zoomSlider"_s);
    m_slider->setRange(sliderPosition(0.5), sliderPosition(2.0));
    m_slider->setValue(sliderPosition(1.0));
    m_slider->setFixedWidth(100);
    connect(zoomOut, &QToolButton::clicked, this, &GalleryHeader::zoomOutClicked);
    connect(zoomIn, &QToolButton::clicked, this, &GalleryHeader::zoomInClicked);
    connect(m_slider, &QSlider::valueChanged, this, [this](int position) { Q_EMIT sliderMoved(position / 100.0); });
    row->addWidget(zoomOut);
    row->addWidget(m_slider);
    row->addWidget(zoomIn);
    return group;
}

QWidget* GalleryHeader::makeModePicker()
{
    auto* picker = new QWidget;
    picker->setObjectName(u"modePicker"_s);
    picker->setFixedWidth(80);
    auto* row = new QHBoxLayout(picker);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* group = new QButtonGroup(picker);
    m_informative = symbolButton(u"modeInformative"_s, u"sidebar.right"_s, 16, PremiumTheme::textPrimary());
    m_minimal = symbolButton(u"modeMinimal"_s, u"square.grid.2x2"_s, 16, PremiumTheme::textPrimary());
    for (QToolButton* segment : {m_informative, m_minimal}) {
        segment->setCheckable(true);
        segment->setFixedSize(40, 26);
        segment->setStyleSheet(u"QToolButton { border-radius: 6px; } QToolButton:checked { background: "
                               u"rgba(255,255,255,46); }"_s);
        group->addButton(segment);
        row->addWidget(segment);
    }
    m_informative->setToolTip(rawValue(GalleryViewMode::informative));
    m_minimal->setToolTip(rawValue(GalleryViewMode::minimal));
    connect(m_informative, &QToolButton::clicked, this, [this] { Q_EMIT modeChosen(GalleryViewMode::informative); });
    connect(m_minimal, &QToolButton::clicked, this, [this] { Q_EMIT modeChosen(GalleryViewMode::minimal); });
    return picker;
}

QAbstractButton* GalleryHeader::clearButton() const
{
    return m_clear;
}

int GalleryHeader::sliderPosition(double scale)
{
    return int(std::lround(scale * 100));
}

void GalleryHeader::setSearchText(const QString& text)
{
    if (m_search->text() != text)
        m_search->setText(text);
    m_clear->setVisible(!text.isEmpty());
}

void GalleryHeader::setGridScale(double scale)
{
    // Following the scale must not write a rounded value back.
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(sliderPosition(scale));
}

void GalleryHeader::setMode(GalleryViewMode mode)
{
    (mode == GalleryViewMode::informative ? m_informative : m_minimal)->setChecked(true);
}

void GalleryHeader::setSelectionMode(bool on)
{
    m_selectMode->setVisible(!on);
    m_changeFolder->setVisible(!on);
    m_done->setVisible(on);
}

void GalleryHeader::setProcessing(bool processing)
{
    m_processing->setVisible(processing);
}

bool GalleryHeader::isProcessingShown() const
{
    return !m_processing->isHidden();
}
