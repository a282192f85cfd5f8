#include "spacesaver/CompressionSuccessView.h"

#include "core/ByteCount.h"
#include "spacesaver/OverlayParts.h"
#include "spacesaver/SpaceSaverViewModel.h"
#include "ui/PremiumTheme.h"

using namespace Qt::StringLiterals;

CompressionSuccessView::CompressionSuccessView(QWidget& window, SpaceSaverViewModel& viewModel)
    : CenteredOverlay(window, [&viewModel](CenteredOverlay& stack) {
        const QString saved = formatFileByteCount(viewModel.actualSavings(), ByteUnits::kilobytesToGigabytes);
        OverlayParts::resultCard(stack,
                                 {u"checkmark.circle.fill"_s, PremiumTheme::success(), u"Compression Complete!"_s,
                                  u"Saved "_s + saved, PremiumTheme::success(), u"Done"_s, QString()},
                                 [&viewModel] { viewModel.dismissSuccess(); });
    })
{
    rebuildOn(&viewModel, &SpaceSaverViewModel::changed);
}
