#include "organize/ReOrganizerViewModel.h"

ReOrganizerViewModel::ReOrganizerViewModel(ScreenshotMonitor& monitor, QObject* parent)
    : QObject(parent)
    , m_monitor(monitor)
{}
