#include "duplicates/DuplicatePreviewView.h"

#include "core/ByteCount.h"
#include "core/DateText.h"
#include "duplicates/DuplicateFinderViewModel.h"
#include "duplicates/MemberThumbnails.h"
#include "duplicates/TitledButton.h"
#include "ui/ActivitySpinner.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QStackedLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
enum ImagePage {
    EmptyPage,
    LoadingPage,
    ImageShownPage,
    GonePage,
};

QColor white(qreal opacity)
{
    return withOpacity(Qt::white, opacity);
}

// The large rendition, fitted into the area with its aspect ratio kept.
class FittedImage : public QWidget
{
public:
    static constexpr int padding = 40;

    void setImage(const QImage& image)
    {
        m_image = image;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_image.isNull())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF area = QRectF(rect()).adjusted(padding, padding, -padding, -padding);
        const QSizeF size = m_image.deviceIndependentSize().scaled(area.size(), Qt::KeepAspectRatio);
        painter.drawImage(QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size), m_image);
    }

private:
    QImage m_image;
};

// A round symbol button of the header: size 32, white at the given opacity.
PlainButton* symbolButton(const QString& name, qreal opacity)
{
    auto* button = new PlainButton(RoundedBackground{}, QMargins());
    button->contentLayout()->addWidget(new StyledSymbol(name, white(opacity), 32));
    return button;
}

void setSymbolOpacity(QAbstractButton& button, qreal opacity)
{
    if (auto* symbol = button.findChild<StyledSymbol*>())
        symbol->setBrush(white(opacity));
}

QWidget* factLabel(const QString& symbolName, QLabel*& text)
{
    auto* fact = new QWidget;
    auto* row = new QHBoxLayout(fact);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    fact->setFont(PremiumTheme::smallLabelFont());
    auto* symbol = new StyledSymbol(symbolName, white(0.7), PremiumTheme::smallLabelFont().pixelSize());
    row->addWidget(symbol);
    text = makeTextLabel(QString(), PremiumTheme::smallLabelFont(), white(0.7));
    row->addWidget(text);
    return fact;
}

TitledButtonStyle actionStyle(const QColor& fill)
{
    return {PremiumTheme::labelFont(), Qt::white, filledBackground(8, fill), QMargins(20, 10, 20, 10), 6};
}
} // namespace

DuplicatePreviewView::DuplicatePreviewView(const DuplicateGroup& group, DuplicateFinderViewModel& viewModel,
                                           Workers::Pool& renditions, QWidget* parent)
    : QDialog(parent)
    , m_group(group)
    , m_viewModel(viewModel)
    , m_images(new MemberThumbnails(QSizeF(largeSide, largeSide), 4, renditions, this))
{
    setMinimumSize(1000, 800);
    setWindowModality(Qt::WindowModal);
    // The sheet itself takes the keys (arrows, Esc); its buttons are reached
    // with Tab.
    setFocusPolicy(Qt::StrongFocus);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeader());
    column->addWidget(makeImageArea(), 1);
    column->addWidget(makeBottomBar());

    connect(m_images, &MemberThumbnails::ready, this, [this](const QUuid& id, const QImage& image) {
        // A rendition of a member that is no longer shown is dropped.
        if (id != current().id)
            return;
        m_fullImage = image;
        m_isLoading = false;
        refresh();
    });
    connect(m_images, &MemberThumbnails::failed, this, [this](const QUuid& id) {
        if (id != current().id)
            return;
        m_isLoading = false;
        refresh();
    });
    connect(&m_viewModel, &DuplicateFinderViewModel::deletionFinished, this, [this] {
        m_sentAway.clear();
        refresh();
    });
    loadFullImage();
}

QWidget* DuplicatePreviewView::makeHeader()
{
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(24, 24, 24, 24);
    m_close = symbolButton(u"xmark.circle.fill"_s, 0.8);
    connect(m_close, &QAbstractButton::clicked, this, &QDialog::reject);
    row->addWidget(m_close);
    row->addStretch();
    m_position = makeTextLabel(QString(), PremiumTheme::buttonFont(), Qt::white);
    row->addWidget(m_position);
    row->addStretch();
    auto* chevrons = new QHBoxLayout;
    chevrons->setSpacing(16);
    m_previous = symbolButton(u"chevron.left.circle.fill"_s, 0.8);
    m_next = symbolButton(u"chevron.right.circle.fill"_s, 0.8);
    connect(m_previous, &QAbstractButton::clicked, this, &DuplicatePreviewView::showPrevious);
    connect(m_next, &QAbstractButton::clicked, this, &DuplicatePreviewView::showNext);
    chevrons->addWidget(m_previous);
    chevrons->addWidget(m_next);
    row->addLayout(chevrons);
    return header;
}

QWidget* DuplicatePreviewView::makeImageArea()
{
    auto* area = new QWidget;
    m_imageStack = new QStackedLayout(area);
    m_imageStack->addWidget(new QWidget);

    auto* loading = new QWidget;
    auto* loadingLayout = new QVBoxLayout(loading);
    m_spinner = new ActivitySpinner(1.5);
    loadingLayout->addWidget(m_spinner, 0, Qt::AlignCenter);
    m_imageStack->addWidget(loading);

    m_imageStack->addWidget(new FittedImage);

    m_gone = new QWidget;
    auto* goneLayout = new QVBoxLayout(m_gone);
    goneLayout->setSpacing(12);
    goneLayout->addStretch();
    goneLayout->addWidget(new StyledSymbol(u"trash"_s, PremiumTheme::textTertiary(), 48), 0, Qt::AlignHCenter);
    goneLayout->addWidget(makeTextLabel(u"Moved to Trash"_s, PremiumTheme::bodyFont(), PremiumTheme::textTertiary()), 0,
                          Qt::AlignHCenter);
    goneLayout->addStretch();
    m_imageStack->addWidget(m_gone);
    return area;
}

QWidget* DuplicatePreviewView::makeBottomBar()
{
    auto* bar = new QWidget;
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 0, qRound(0.8 * 255)));
    bar->setPalette(palette);
    auto* stack = new QVBoxLayout(bar);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(16);
    auto* divider = new QWidget;
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    palette.setColor(QPalette::Window, white(0.2));
    divider->setPalette(palette);
    stack->addWidget(divider);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(24, 0, 24, 24);
    row->setSpacing(24);
    auto* info = new QVBoxLayout;
    info->setSpacing(8);
    m_filename = makeTextLabel(QString(), PremiumTheme::bodyFont(), Qt::white);
    m_filename->setMaximumWidth(560);
    info->addWidget(m_filename);
    auto* facts = new QHBoxLayout;
    facts->setSpacing(16);
    facts->addWidget(factLabel(u"calendar"_s, m_date));
    facts->addWidget(factLabel(u"doc"_s, m_size));
    facts->addStretch();
    info->addLayout(facts);
    row->addLayout(info);
    row->addStretch();
    m_keep = makeTitledButton(u"checkmark.circle"_s, u"Keep This"_s, actionStyle(PremiumTheme::success()));
    m_delete = makeTitledButton(u"trash"_s, u"Delete This"_s, actionStyle(PremiumTheme::error()));
    connect(m_keep, &QAbstractButton::clicked, this, &DuplicatePreviewView::keepCurrent);
    connect(m_delete, &QAbstractButton::clicked, this, &DuplicatePreviewView::deleteCurrent);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(12);
    actions->addWidget(m_keep);
    actions->addWidget(m_delete);
    row->addLayout(actions);
    stack->addLayout(row);
    return bar;
}

bool DuplicatePreviewView::isGone(const QUuid& id) const
{
    return m_sentAway.contains(id) || m_viewModel.trashedIds().contains(id);
}

bool DuplicatePreviewView::isCurrentGone() const
{
    return isGone(current().id);
}

bool DuplicatePreviewView::isCurrentLastCopy() const
{
    if (isCurrentGone())
        return false;
    return std::none_of(m_group.screenshots.cbegin(), m_group.screenshots.cend(),
                        [this](const Screenshot& member) { return member.id != current().id && !isGone(member.id); });
}

QString DuplicatePreviewView::positionText() const
{
    return u"%1 of %2"_s.arg(m_currentIndex + 1).arg(m_group.screenshots.size());
}

void DuplicatePreviewView::showPrevious()
{
    if (m_currentIndex >= 1)
        setCurrentIndex(m_currentIndex - 1);
}

void DuplicatePreviewView::showNext()
{
    if (m_currentIndex < m_group.screenshots.size() - 1)
        setCurrentIndex(m_currentIndex + 1);
}

void DuplicatePreviewView::keepCurrent()
{
    if (isCurrentGone())
        return;
    QList<QUuid> others;
    for (const Screenshot& member : m_group.screenshots) {
        if (member.id != current().id)
            others.append(member.id);
    }
    m_viewModel.deleteDuplicates(others);
    accept();
}

void DuplicatePreviewView::deleteCurrent()
{
    if (isCurrentGone() || isCurrentLastCopy())
        return;
    m_viewModel.deleteDuplicates({current().id});
    m_sentAway.insert(current().id);
    if (m_group.screenshots.size() < 2) {
        accept();
        return;
    }
    if (m_currentIndex < m_group.screenshots.size() - 1)
        showNext();
    else
        showPrevious();
}

void DuplicatePreviewView::setCurrentIndex(int index)
{
    if (index == m_currentIndex)
        return;
    m_currentIndex = index;
    loadFullImage();
}

void DuplicatePreviewView::loadFullImage()
{
    m_fullImage.reset();
    m_isLoading = false;
    if (!isCurrentGone()) {
        m_fullImage = m_images->request(current());
        m_isLoading = !m_fullImage;
    }
    refresh();
}

void DuplicatePreviewView::refresh()
{
    const int count = int(m_group.screenshots.size());
    m_position->setText(positionText());
    m_previous->setEnabled(m_currentIndex > 0);
    m_next->setEnabled(m_currentIndex < count - 1);
    setSymbolOpacity(*m_previous, m_currentIndex > 0 ? 0.8 : 0.3);
    setSymbolOpacity(*m_next, m_currentIndex < count - 1 ? 0.8 : 0.3);

    const Screenshot& member = current();
    m_filename->setText(
        m_filename->fontMetrics().elidedText(member.filename, Qt::ElideRight, m_filename->maximumWidth()));
    m_date->setText(DateText::mediumDateAndTime(member.dateCreated));
    m_size->setText(formatFileByteCount(member.fileSize));

    // Members already sent away cannot be kept or deleted again, nor can
    // the last copy left be deleted.
    const bool gone = isCurrentGone();
    const bool deletable = !gone && !isCurrentLastCopy();
    const auto fill = [](bool enabled) { return enabled ? 1.0 : 0.35; };
    m_keep->setEnabled(!gone);
    m_delete->setEnabled(deletable);
    m_keep->setBackground(filledBackground(8, withOpacity(PremiumTheme::success(), fill(!gone))));
    m_delete->setBackground(filledBackground(8, withOpacity(PremiumTheme::error(), fill(deletable))));

    if (gone) {
        m_imageStack->setCurrentIndex(GonePage);
    } else if (m_isLoading) {
        m_imageStack->setCurrentIndex(LoadingPage);
    } else if (m_fullImage) {
        static_cast<FittedImage*>(m_imageStack->widget(ImageShownPage))->setImage(*m_fullImage);
        m_imageStack->setCurrentIndex(ImageShownPage);
    } else {
        m_imageStack->setCurrentIndex(EmptyPage);
    }
}

void DuplicatePreviewView::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    setFocus();
}

void DuplicatePreviewView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        showPrevious();
        event->accept();
        return;
    case Qt::Key_Right:
        showNext();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event); // Esc closes
    }
}

void DuplicatePreviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), PremiumTheme::background());
    painter.fillRect(rect(), QColor(0, 0, 0, qRound(0.95 * 255)));
}
