#include "spacesaver/FileTypeBar.h"

#include "core/ByteCount.h"
#include "ui/Motion.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

// A track with a fill from the left that springs to each new share.
class ShareBar : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal fraction READ fraction WRITE setFraction)

public:
    static constexpr int barHeight = 8;

    ShareBar()
    {
        setFixedHeight(barHeight);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void showFraction(qreal fraction, const QColor& color)
    {
        m_color = color;
        if (fraction != m_target) {
            m_target = fraction;
            Motion::animate(this, "fraction", fraction, PremiumTheme::standardSpring());
        }
        update();
    }
    qreal fraction() const { return m_fraction; }
    qreal target() const { return m_target; }
    bool isAtRest() const { return m_fraction == m_target; }
    void setFraction(qreal fraction)
    {
        m_fraction = fraction;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(PremiumTheme::surface());
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
        const qreal width = rect().width() * std::clamp(m_fraction, 0.0, 1.0);
        if (width <= 0)
            return;
        painter.setBrush(m_color);
        painter.drawRoundedRect(QRectF(0, 0, width, barHeight), std::min(6.0, width / 2), 6);
    }

private:
    qreal m_fraction = 0;
    qreal m_target = 0;
    QColor m_color;
};

FileTypeBar::FileTypeBar(QWidget* parent)
    : RoundedPanel({10, withOpacity(PremiumTheme::surfaceElevated(), 0.5), Qt::transparent, 0, std::nullopt}, 12,
                   QBoxLayout::TopToBottom, parent)
    , m_symbol(new StyledSymbol(u"doc.fill"_s, PremiumTheme::textSecondary(), 13))
    , m_name(makeTextLabel(QString(), PremiumTheme::labelFont(), PremiumTheme::textPrimary()))
    , m_size(makeTextLabel(QString(), PremiumTheme::labelFont(), PremiumTheme::textPrimary()))
    , m_count(makeTextLabel(QString(), PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary()))
    , m_bar(new ShareBar)
    , m_share(makeTextLabel(QString(), PremiumTheme::smallLabelFont(), PremiumTheme::textTertiary()))
    , m_savings(makeTextLabel(QString(), PremiumTheme::smallLabelFont(), PremiumTheme::success()))
{
    QBoxLayout* column = contentLayout();
    column->setSpacing(8);

    auto* nameRow = new QHBoxLayout;
    auto* named = new QHBoxLayout;
    named->setSpacing(8);
    named->addWidget(m_symbol);
    named->addWidget(m_name);
    nameRow->addLayout(named);
    nameRow->addStretch();
    auto* figures = new QVBoxLayout;
    figures->setSpacing(2);
    figures->addWidget(m_size, 0, Qt::AlignRight);
    figures->addWidget(m_count, 0, Qt::AlignRight);
    nameRow->addLayout(figures);
    column->addLayout(nameRow);

    column->addWidget(m_bar);

    auto* shareRow = new QHBoxLayout;
    shareRow->addWidget(m_share);
    shareRow->addStretch();
    shareRow->addWidget(m_savings);
    column->addLayout(shareRow);
}

void FileTypeBar::display(const FileTypeStat& stat, qint64 total)
{
    const double share = percentage(stat, total);
    const QColor color = typeColor(stat.type);
    m_symbol->setSymbolName(typeIcon(stat.type));
    m_symbol->setBrush(color);
    m_name->setText(stat.type.toUpper());
    m_size->setText(formatFileByteCount(stat.totalSize, ByteUnits::kilobytesToGigabytes));
    m_count->setText(u"%1 files"_s.arg(stat.count));
    m_bar->showFraction(share / 100, color);
    m_share->setText(QString::asprintf("%.0f", share) + u"% of total"_s);
    m_savings->setText(stat.canCompress
                           ? u"Can save ~"_s + QString::asprintf("%.0f", stat.potentialSavingsPercent) + u"%"_s
                           : QString());
    m_savings->setVisible(stat.canCompress);
}

double FileTypeBar::percentage(const FileTypeStat& stat, qint64 total)
{
    return total < 1 ? 0 : double(stat.totalSize) / double(total) * 100;
}

QColor FileTypeBar::typeColor(const QString& type)
{
    const QString lower = type.toLower();
    if (lower == u"png")
        return PremiumTheme::primary();
    if (lower == u"jpg" || lower == u"jpeg")
        return PremiumTheme::warning();
    if (lower == u"heic")
        return PremiumTheme::success();
    return PremiumTheme::textSecondary();
}

QString FileTypeBar::typeIcon(const QString& type)
{
    static const QStringList pictures{u"png"_s, u"jpg"_s, u"jpeg"_s, u"heic"_s};
    return pictures.contains(type.toLower()) ? u"photo.fill"_s : u"doc.fill"_s;
}

QString FileTypeBar::name() const
{
    return m_name->text();
}

QString FileTypeBar::sizeText() const
{
    return m_size->text();
}

QString FileTypeBar::countText() const
{
    return m_count->text();
}

QString FileTypeBar::shareText() const
{
    return m_share->text();
}

QString FileTypeBar::savingsText() const
{
    return m_savings->isHidden() ? QString() : m_savings->text();
}

QString FileTypeBar::symbolName() const
{
    return m_symbol->symbolName();
}

QColor FileTypeBar::color() const
{
    return m_symbol->effectiveBrush().color();
}

double FileTypeBar::barFraction() const
{
    return m_bar->target();
}

bool FileTypeBar::isAtRest() const
{
    return m_bar->isAtRest();
}

#include "FileTypeBar.moc"
