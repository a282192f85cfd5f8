#include "spacesaver/CompressionOptionsSection.h"

#include "spacesaver/QualityOption.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/PremiumTheme.h"
#include "ui/RoundedPanel.h"
#include "ui/StyledSymbol.h"
#include "ui/TextLabel.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace {
QWidget* warning()
{
    auto* panel =
        new RoundedPanel(RoundedBackground::tinted(12, PremiumTheme::warning(), 0.1, 0.3), 16, QBoxLayout::LeftToRight);
    QBoxLayout* row = panel->contentLayout();
    row->setSpacing(12);
    row->addWidget(new StyledSymbol(u"exclamationmark.triangle.fill"_s, PremiumTheme::warning(), 15), 0,
                   Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(makeTextLabel(u"One-Time Operation"_s, PremiumTheme::labelFont(), PremiumTheme::warning()));
    QLabel* detail = makeTextLabel(u"Original files will be replaced. This cannot be undone. All changes are atomic "
                                   u"- if any file fails, all changes are rolled back."_s,
                                   PremiumTheme::smallLabelFont(), PremiumTheme::textSecondary());
    detail->setWordWrap(true);
    texts->addWidget(detail);
    row->addLayout(texts, 1);
    return panel;
}
} // namespace

const QList<CompressionOptionsSection::Choice>& CompressionOptionsSection::choices()
{
    static const QList<Choice> choices{
        {u"Near-Lossless"_s, u"95% quality · Best quality · ~60% savings"_s, {0.95, 4}},
        {u"Balanced"_s, u"90% quality · Good quality · ~70% savings"_s, {0.9, 4}},
        {u"Maximum Compression"_s, u"85% quality · Acceptable · ~75% savings"_s, {0.85, 4}},
    };
    return choices;
}

CompressionOptionsSection::CompressionOptionsSection(SpaceSaverViewModel& viewModel, QWidget* parent)
    : GlassCard(QBoxLayout::TopToBottom, parent)
    , m_viewModel(viewModel)
{
    QBoxLayout* column = contentLayout();
    column->setSpacing(20);
    auto* header = new QHBoxLayout;
    header->addWidget(new StyledSymbol(u"slider.horizontal.3"_s, PremiumTheme::primaryGradient(), 15));
    header->addWidget(makeTextLabel(u"Compression Quality"_s, PremiumTheme::buttonFont(), PremiumTheme::textPrimary()));
    header->addStretch();
    column->addLayout(header);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(12);
    for (const Choice& choice : choices()) {
        auto* row = new QualityOption(choice.title, choice.subtitle);
        connect(row, &QAbstractButton::clicked, &viewModel,
                [&viewModel, options = choice.options] { viewModel.setSelectedQuality(options); });
        rows->addWidget(row);
        m_rows.append(row);
    }
    column->addLayout(rows);
    column->addWidget(warning());
    connect(&viewModel, &SpaceSaverViewModel::changed, this, &CompressionOptionsSection::refresh);
    refresh();
}

void CompressionOptionsSection::refresh()
{
    for (qsizetype index = 0; index < m_rows.size(); ++index)
        m_rows[index]->setSelected(m_viewModel.selectedQuality() == choices()[index].options);
}
