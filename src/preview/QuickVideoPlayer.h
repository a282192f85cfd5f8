#pragma once

#include <QUrl>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QMediaPlayer;
class QSlider;
class SymbolLabel;

// A recording with its own controls (play and pause, position, time) under
// the picture. It never starts by itself, and clicks on it stay inside it.
class QuickVideoPlayer : public QWidget
{
    Q_OBJECT

public:
    explicit QuickVideoPlayer(const QUrl& source, QWidget* parent = nullptr);
    ~QuickVideoPlayer() override;

    // None where Qt Multimedia has no backend: the controls are disabled.
    QMediaPlayer* player() const { return m_player; }
    QAbstractButton* playButton() const { return m_playButton; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showState();
    void showPosition();

    QMediaPlayer* m_player = nullptr;
    QAbstractButton* m_playButton;
    SymbolLabel* m_playSymbol;
    QSlider* m_position;
    QLabel* m_time;
};
