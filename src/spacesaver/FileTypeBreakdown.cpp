#include "spacesaver/FileTypeBreakdown.h"

#include "spacesaver/FileTypeBar.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/PremiumTheme.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QLabel>
#include <QSet>

using namespace Qt::StringLiterals;

FileTypeBreakdown::FileTypeBreakdown(SpaceSaverViewModel& viewModel, QWidget* parent)
    : GlassCard(QBoxLayout::TopToBottom, parent)
    , m_viewModel(viewModel)
    , m_rows(new QVBoxLayout)
{
    QBoxLayout* column = contentLayout();
    column->setSpacing(20);
    auto* title = new QHBoxLayout;
    title->addWidget(new StyledSymbol(u"chart.bar.fill"_s, PremiumTheme::primaryGradient(), 15));
    title->addWidget(makeTextLabel(u"File Type Breakdown"_s, PremiumTheme::buttonFont(), PremiumTheme::textPrimary()));
    title->addStretch();
    column->addLayout(title);
    m_rows->setSpacing(12);
    column->addLayout(m_rows);
    connect(&viewModel, &SpaceSaverViewModel::changed, this, &FileTypeBreakdown::refresh);
    refresh();
}

void FileTypeBreakdown::refresh()
{
    const auto& stats = m_viewModel.fileTypeStats();
    QSet<QString> shown;
    for (qsizetype index = 0; index < stats.size(); ++index) {
        const auto& stat = stats[index];
        shown.insert(stat.type);
        FileTypeBar*& bar = m_bars[stat.type];
        if (!bar)
            bar = new FileTypeBar;
        if (m_rows->indexOf(bar) != index) {
            m_rows->removeWidget(bar);
            m_rows->insertWidget(int(index), bar);
        }
        bar->display(stat, m_viewModel.totalSize());
    }
    for (auto it = m_bars.begin(); it != m_bars.end();) {
        if (shown.contains(it.key())) {
            ++it;
            continue;
        }
        m_rows->removeWidget(it.value());
        it.value()->deleteLater();
        it = m_bars.erase(it);
    }
}

QList<FileTypeBar*> FileTypeBreakdown::bars() const
{
    QList<FileTypeBar*> rows;
    for (int index = 0; index < m_rows->count(); ++index)
        if (auto* bar = qobject_cast<FileTypeBar*>(m_rows->itemAt(index)->widget()))
            rows.append(bar);
    return rows;
}
