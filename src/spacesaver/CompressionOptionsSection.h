#pragma once

#include "spacesaver/CompressionService.h"
#include "ui/GlassCard.h"

class QualityOption;
class SpaceSaverViewModel;

// The choice of quality, shown while a plan exists: three rows, exactly one
// selected when the chosen options are one of theirs, and the warning that
// the originals are replaced for good.
class CompressionOptionsSection : public GlassCard
{
    Q_OBJECT

public:
    struct Choice
    {
        QString title;
        QString subtitle;
        CompressionService::CompressionOptions options;
    };
    static const QList<Choice>& choices();

    explicit CompressionOptionsSection(SpaceSaverViewModel& viewModel, QWidget* parent = nullptr);

    const QList<QualityOption*>& rows() const { return m_rows; }

private:
    void refresh();

    SpaceSaverViewModel& m_viewModel;
    QList<QualityOption*> m_rows;
};
