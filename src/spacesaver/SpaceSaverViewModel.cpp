#include "spacesaver/SpaceSaverViewModel.h"

SpaceSaverViewModel::SpaceSaverViewModel(ScreenshotMonitor& monitor, QObject* parent)
    : QObject(parent)
    , m_monitor(monitor)
{}
