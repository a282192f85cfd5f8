#include "organize/PreviewSection.h"

#include "organize/PreviewStateCard.h"
#include "organize/ReOrganizerViewModel.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedBackground.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {
QString folderText(const QUrl& folder)
{
    QString path = folder.toLocalFile();
    return path.endsWith(u'/') ? path : path + u'/';
}

QString fileCount(qint64 files)
{
    return files == 1 ? u"1 file"_s : u"%1 files"_s.arg(files);
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

QStringList PreviewSection::afterItems(const OrganizeService::OrganizationPlan& plan)
{
    QStringList items{u"📁 "_s + folderText(plan.targetBaseURL)};
    const QList<OrganizeService::OrganizationPlan::TargetFolder>& folders = plan.targetFolders;
    const QString count = QString::number(plan.totalFiles);
    if (folders.isEmpty()) {
        items.append(u"  └─ No files to move"_s);
        return items;
    }
    if (folders.size() == 1 && folders.first().relativePath.isEmpty()) {
        items.append(u"  └─ "_s + count + u" files (flat)"_s);
        return items;
    }
    const bool byMonth = folders.first().relativePath.contains(u'/');
    const qsizetype shown = std::min(folders.size(), maxFoldersShown);
    QString year;
    for (qsizetype index = 0; index < shown; ++index) {
        const QString& path = folders[index].relativePath;
        const QString files = u" ("_s + fileCount(folders[index].files) + u')';
        if (!byMonth) {
            items.append(u"  ├─ "_s + path + u'/' + files);
            continue;
        }
        if (path.section(u'/', 0, 0) != year) {
            year = path.section(u'/', 0, 0);
            items.append(u"  ├─ "_s + year + u'/');
        }
        const bool lastOfYear = index + 1 == shown || folders[index + 1].relativePath.section(u'/', 0, 0) != year;
        items.append((lastOfYear ? u"  │  └─ "_s : u"  │  ├─ "_s) + path.section(u'/', 1) + u'/' + files);
    }
    if (shown < folders.size()) {
        qint64 rest = 0;
        for (qsizetype index = shown; index < folders.size(); ++index)
            rest += folders[index].files;
        const qsizetype more = folders.size() - shown;
        items.append(u"  ├─ … %1 more %2 folder%3 (%4)"_s.arg(more).arg(
            byMonth ? u"month"_s : u"year"_s, more == 1 ? QString() : u"s"_s, fileCount(rest)));
    }
    items.append(u"  └─ "_s + count + (byMonth ? u" file(s) organized"_s : u" files organized"_s));
    return items;
}

void PreviewSection::refresh()
{
    const auto& plan = m_viewModel.plan();
    if (!plan)
        return;
    const auto options = m_viewModel.options();
    m_current->setItems(currentItems(*plan, options));
    m_after->setItems(afterItems(*plan));
}

void PreviewSection::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    RoundedBackground::tinted(16, PremiumTheme::success(), 0.05, 0.2).paint(painter, QRectF(rect()));
}
