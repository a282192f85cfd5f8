#include "duplicates/DuplicateThumbnailCard.h"

#include "core/DateText.h"
#include "duplicates/MemberThumbnails.h"
#include "ui/ActivitySpinner.h"
#include "ui/PlainButton.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/SymbolRegistry.h"
#include "ui/TextLabel.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
constexpr qreal kPictureRadius = 8;

// The 20 × 20 box of the selection button, with a check mark while marked.
class CheckBoxMark : public QWidget
{
public:
    explicit CheckBoxMark(QWidget* parent = nullptr)
        : QWidget(parent)
    {
        setFixedSize(20, 20);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    void setChecked(bool checked)
    {
        m_checked = checked;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = m_checked ? PremiumTheme::error() : PremiumTheme::glassBorder();
        painter.strokePath(RoundedBackground::path(QRectF(rect()).adjusted(1, 1, -1, -1), 4), QPen(color, 2));
        if (m_checked)
            SymbolRegistry::paint(painter, QRectF(4, 4, 12, 12), u"checkmark"_s, PremiumTheme::error());
    }

private:
    bool m_checked = false;
};

QLabel* oneLineLabel(const QString& text, const QColor& color, const QString& toolTip = QString())
{
    QLabel* label = makeTextLabel(QString(), PremiumTheme::smallLabelFont(), color);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, DuplicateThumbnailCard::cardWidth));
    label->setToolTip(toolTip);
    label->setAlignment(Qt::AlignHCenter);
    label->setFixedWidth(DuplicateThumbnailCard::cardWidth);
    return label;
}
} // namespace

QString DuplicateThumbnailCard::memberToolTip(const Screenshot& screenshot)
{
    return screenshot.filename + u'\n' + QDir::toNativeSeparators(QFileInfo(screenshot.filePath).path());
}

MemberPicture::MemberPicture(bool isVideo, QWidget* parent)
    : QAbstractButton(parent)
    , m_isVideo(isVideo)
    , m_spinner(new ActivitySpinner(0.8, this))
{
    setFixedSize(side, side);
    setCursor(Qt::PointingHandCursor);
    m_spinner->move((side - m_spinner->diameter()) / 2, (side - m_spinner->diameter()) / 2);
}

void MemberPicture::setThumbnail(const QImage& image)
{
    m_thumbnail = image;
    m_spinner->hide();
    update();
}

void MemberPicture::setMarked(bool marked)
{
    m_marked = marked;
    update();
}

void MemberPicture::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRectF area(0, 0, side, side);
    const QPainterPath shape = RoundedBackground::path(area, kPictureRadius);
    if (!m_thumbnail) {
        painter.fillPath(shape, PremiumTheme::surfaceElevated());
    } else {
        // Scaled to fill the square, the overflow cut off evenly.
        const QSizeF size = m_thumbnail->deviceIndependentSize().scaled(area.size(), Qt::KeepAspectRatioByExpanding);
        painter.save();
        painter.setClipPath(shape);
        painter.drawImage(QRectF(QPointF((side - size.width()) / 2, (side - size.height()) / 2), size), *m_thumbnail);
        painter.restore();
        const bool marked = m_marked;
        const qreal width = marked ? 3 : 1;
        painter.strokePath(
            RoundedBackground::path(area.adjusted(width / 2, width / 2, -width / 2, -width / 2), kPictureRadius),
            QPen(marked ? PremiumTheme::error() : PremiumTheme::glassBorder(), width));
    }
    if (m_isVideo)
        paintVideoBadge(painter);
}

void MemberPicture::paintVideoBadge(QPainter& painter) const
{
    QFont font = PremiumTheme::systemFont(9, QFont::Bold);
    const QString text = u"VIDEO"_s;
    const QFontMetrics metrics(font);
    const QSizeF content(14 + 4 + metrics.horizontalAdvance(text), std::max(14, metrics.height()));
    const QSizeF badge = content + QSizeF(12, 6);
    const QRectF box(side - 6 - badge.width(), side - 6 - badge.height(), badge.width(), badge.height());
    painter.fillPath(RoundedBackground::path(box, 4), QColor(0, 0, 0, qRound(0.7 * 255)));
    const QRectF symbol(box.left() + 6, box.center().y() - 7, 14, 14);
    SymbolRegistry::paint(painter, symbol, u"play.circle.fill"_s, Qt::white);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(symbol.right() + 4, box.top(), metrics.horizontalAdvance(text) + 1, box.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, text);
}

DuplicateThumbnailCard::DuplicateThumbnailCard(const Screenshot& screenshot, MemberThumbnails& thumbnails,
                                               QWidget* parent)
    : QWidget(parent)
    , m_screenshot(screenshot)
    , m_thumbnails(thumbnails)
    , m_picture(new MemberPicture(screenshot.isVideo()))
    , m_selectionButton(new PlainButton(RoundedBackground{}, QMargins()))
    , m_checkBox(new CheckBoxMark)
{
    setFixedWidth(cardWidth);
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);
    stack->addWidget(m_picture, 0, Qt::AlignHCenter);

    m_selectionButton->contentLayout()->setSpacing(8);
    m_selectionButton->contentLayout()->addWidget(m_checkBox);
    m_selectionButton->contentLayout()->addWidget(
        makeTextLabel(u"Select"_s, PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary()));
    stack->addWidget(m_selectionButton, 0, Qt::AlignHCenter);

    auto* caption = new QVBoxLayout;
    caption->setSpacing(2);
    // Copies often differ only in the end of their names or in their folder.
    caption->addWidget(oneLineLabel(screenshot.filename, PremiumTheme::textPrimary(), memberToolTip(screenshot)));
    caption->addWidget(oneLineLabel(DateText::shortDateAndTime(screenshot.dateCreated), PremiumTheme::textTertiary()));
    stack->addLayout(caption);

    connect(m_picture, &QAbstractButton::clicked, this, &DuplicateThumbnailCard::previewRequested);
    connect(m_selectionButton, &QAbstractButton::clicked, this, [this] {
        setSelected(!isSelected());
        emit selectionToggled(isSelected());
    });
    connect(&m_thumbnails, &MemberThumbnails::ready, this, [this](const QUuid& id, const QImage& image) {
        if (id == m_screenshot.id)
            m_picture->setThumbnail(image);
    });
}

void DuplicateThumbnailCard::setSelected(bool selected)
{
    m_picture->setMarked(selected);
    static_cast<CheckBoxMark*>(m_checkBox)->setChecked(selected);
}

void DuplicateThumbnailCard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loadThumbnail();
}

void DuplicateThumbnailCard::loadThumbnail()
{
    if (const auto image = m_thumbnails.request(m_screenshot))
        m_picture->setThumbnail(*image);
}
