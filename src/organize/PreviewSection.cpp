#include "organize/PreviewSection.h"

#include "core/Clock.h"
#include "organize/PreviewStateCard.h"
#include "organize/ReOrganizerViewModel.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
QString folderText(const QUrl& folder)
{
    QString path = folder.toLocalFile();
    return path.endsWith(u'/') ? path : path + u'/';
}
} // namespace

PreviewSection::PreviewSection(ReOrganizerViewModel& viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_current(new PreviewStateCard(u"Current"_s, u"folder"_s, PremiumTheme::textSecondary()))
    , m_after(new PreviewStateCard(u"After Organizing"_s, u"folder.badge.gearshape"_s, PremiumTheme::success()))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    heading->addWidget(new StyledSymbol(u"eye.fill"_s, PremiumTheme::primaryGradient(), 16));
    heading->addWidget(makeTextLabel(u"Preview"_s, PremiumTheme::buttonFont(), PremiumTheme::textPrimary()));
    heading->addStretch();
    column->addLayout(heading);
    auto* panels = new QVBoxLayout;
    panels->setSpacing(16);
    panels->addWidget(m_current);
    panels->addWidget(new StyledSymbol(u"arrow.down"_s, PremiumTheme::primaryGradient(), 24), 0, Qt::AlignHCenter);
    panels->addWidget(m_after);
    column->addLayout(panels);
    connect(&viewModel, &ReOrganizerViewModel::changed, this, &PreviewSection::refresh);
    refresh();
}

QStringList PreviewSection::currentItems(const OrganizeService::OrganizationPlan& plan,
                                         const OrganizeService::OrganizationOptions& options)
{
    return {u"📂 "_s + folderText(options.baseURL),
            QString::number(plan.totalFiles) + u" screenshot(s) to be organized"_s};
}

QStringList PreviewSection::afterItems(const OrganizeService::OrganizationPlan& plan,
                                       const OrganizeService::OrganizationOptions& options, const QDate& today)
{
    QStringList items{u"📁 "_s + folderText(options.baseURL) + OrganizeService::targetFolderName + u'/'};
    const QString count = QString::number(plan.totalFiles);
    if (!options.groupByYear) {
        items.append(u"  └─ "_s + count + u" files (flat)"_s);
        return items;
    }
    items.append(u"  ├─ "_s + QString::number(today.year()) + u'/');
    if (options.groupByMonth) {
        const QString month = QString::asprintf("%02d-", today.month()) + QLocale().monthName(today.month());
        items.append(u"  │  └─ "_s + month + u'/');
        items.append(u"  └─ "_s + count + u" file(s) organized"_s);
    } else {
        items.append(u"  └─ "_s + count + u" files organized"_s);
    }
    return items;
}

void PreviewSection::refresh()
{
    const auto& plan = m_viewModel.plan();
    if (!plan)
        return;
    const auto options = m_viewModel.options();
    m_current->setItems(currentItems(*plan, options));
    m_after->setItems(afterItems(*plan, options, Clock::now().date()));
}

void PreviewSection::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RoundedBackground::tinted(16, PremiumTheme::success(), 0.05, 0.2).paint(painter, QRectF(rect()));
}
