#pragma once

#include <QWidget>

// The space saver's title block: a glowing glass badge with the download
// symbol, the title and its subtitle.
class SpaceSaverHeader : public QWidget
{
    Q_OBJECT

public:
    explicit SpaceSaverHeader(QWidget* parent = nullptr);
};
