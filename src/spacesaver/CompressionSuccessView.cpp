#include "spacesaver/CompressionSuccessView.h"

#include "core/ByteCount.h"
#include "spacesaver/OverlayParts.h"
#include "ui/PremiumTheme.h"

#include <QMap>

using namespace Qt::StringLiterals;

namespace {
using Reason = CompressionService::CompressionResult::SkipReason;

QString reasonText(Reason reason)
{
    switch (reason) {
    case Reason::notSmaller:
        return u"not smaller as HEIC at this quality"_s;
    case Reason::nameTaken:
        return u"HEIC name already taken"_s;
    case Reason::outsideFolder:
        return u"outside the monitored folder"_s;
    case Reason::imageKept:
        break;
    }
    return u"original kept beside its HEIC version"_s;
}

QString files(int count)
{
    return count == 1 ? u"1 file"_s : u"%1 files"_s.arg(count);
}
} // namespace

QString CompressionSuccessView::note(const SpaceSaverViewModel::RunSummary& run)
{
    if (run.skipped.isEmpty() && run.leftOut == 0)
        return {};
    QStringList sentences{u"Compressed %1 of %2."_s.arg(run.compressed).arg(files(run.planned))};
    if (!run.skipped.isEmpty()) {
        QMap<Reason, int> byReason;
        for (const auto& skipped : run.skipped)
            ++byReason[skipped.reason];
        QStringList reasons;
        for (auto it = byReason.cbegin(); it != byReason.cend(); ++it)
            reasons.append(byReason.size() == 1 ? reasonText(it.key())
                                                : u"%1 %2"_s.arg(it.value()).arg(reasonText(it.key())));
        sentences.append(u"%1 skipped: %2."_s.arg(run.skipped.size()).arg(reasons.join(u", "_s)));
    }
    if (run.leftOut > 0)
        sentences.append(u"Left out %1 already found not smaller at this quality."_s.arg(files(run.leftOut)));
    return sentences.join(u' ');
}

CompressionSuccessView::CompressionSuccessView(QWidget& window, SpaceSaverViewModel& viewModel)
    : CenteredOverlay(window, [&viewModel](CenteredOverlay& stack) {
        const QString saved = formatFileByteCount(viewModel.actualSavings(), ByteUnits::kilobytesToGigabytes);
        OverlayParts::resultCard(stack,
                                 {u"checkmark.circle.fill"_s, PremiumTheme::success(), u"Compression Complete!"_s,
                                  u"Saved "_s + saved, PremiumTheme::success(), u"Done"_s, note(viewModel.lastRun())},
                                 [&viewModel] { viewModel.dismissSuccess(); });
    })
{
    rebuildOn(&viewModel, &SpaceSaverViewModel::changed);
}
