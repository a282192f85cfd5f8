#include "duplicates/DuplicateFinderViewModel.h"

DuplicateFinderViewModel::DuplicateFinderViewModel(ScreenshotMonitor& monitor, QObject* parent)
    : QObject(parent)
    , m_monitor(monitor)
{}
