#pragma once

#include <QWidget>

class ScreenshotMonitor;

class MainAppView : public QWidget
{
    Q_OBJECT

public:
    explicit MainAppView(ScreenshotMonitor& monitor, QWidget* parent = nullptr);
};
