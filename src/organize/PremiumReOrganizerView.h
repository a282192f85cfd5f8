#pragma once

#include "ingest/ScreenshotMonitor.h"

#include <QWidget>

class ReOrganizerViewModel;

// The re-organizer screen over the given monitor, with a view model of its
// own. So far it names the library it will work on.
class PremiumReOrganizerView : public QWidget
{
    Q_OBJECT

public:
    explicit PremiumReOrganizerView(ScreenshotMonitor& monitor = ScreenshotMonitor::shared(),
                                    QWidget* parent = nullptr);

    ScreenshotMonitor& monitor() const { return m_monitor; }
    ReOrganizerViewModel& viewModel() const { return *m_viewModel; }

private:
    ScreenshotMonitor& m_monitor;
    ReOrganizerViewModel* m_viewModel;
};
