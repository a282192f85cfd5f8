#pragma once

#include "ui/SymbolRegistry.h"

#include <QAbstractAnimation>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <functional>

// What every renderer shares: it waits on the state it pictures, never on the
// clock, and when a state does not come or a picture cannot be written it
// names it and ends with a failure.
namespace render {

// Only a guard against a state that never comes. A machine busy with other
// work takes tens of seconds for what an idle one does at once, so the guard
// is minutes: a state is waited for, never timed.
inline constexpr int stateBoundMs = 300'000;

// Turns the event loop for `ms`. Only for what has no state to wait on: a
// paint, or a moment in the middle of an animation.
inline void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Waits for `reached` while it can still come (`possible`), up to `boundMs`.
inline bool waitWhilePossible(const std::function<bool()>& reached, const std::function<bool()>& possible,
                              int boundMs = stateBoundMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!reached() && possible() && waited.elapsed() < boundMs)
        pause(20);
    return reached();
}

inline bool waitFor(const std::function<bool()>& reached, int boundMs = stateBoundMs)
{
    return waitWhilePossible(
        reached, [] { return true; }, boundMs);
}

// Waits for `reached` as long as `step` keeps moving: a long run on a busy
// machine may take many minutes, but never a whole bound for one step.
inline bool waitWhileAdvancing(const std::function<bool()>& reached, const std::function<int()>& step,
                               int stepBoundMs = stateBoundMs)
{
    QElapsedTimer sinceStep;
    sinceStep.start();
    int last = step();
    while (!reached() && sinceStep.elapsed() < stepBoundMs) {
        pause(20);
        if (const int now = step(); now != last) {
            last = now;
            sinceStep.restart();
        }
    }
    return reached();
}

// No animation under `root` is still on its way to its end (those that
// repeat for ever, like a spinner, have no end and do not count).
inline bool animationsSettled(const QObject& root)
{
    const auto animations = root.findChildren<QAbstractAnimation*>();
    return std::none_of(animations.cbegin(), animations.cend(), [](const QAbstractAnimation* animation) {
        return animation->group() == nullptr && animation->state() == QAbstractAnimation::Running &&
               animation->totalDuration() >= 0;
    });
}

// Layouts asked for by the last change settle, each level of nesting posting
// to the next.
inline void settleLayouts()
{
    for (int level = 0; level < 8; ++level)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

class Shots
{
public:
    explicit Shots(QString folder)
        : m_folder(std::move(folder))
    {
        QDir().mkpath(m_folder);
    }

    // Whether `state` came; names it when it did not.
    bool reach(bool reached, const QString& state)
    {
        if (!reached) {
            m_missed.append(state);
            QTextStream(stderr) << program() << " did not reach " << state << "\n";
        }
        return reached;
    }

    bool await(const std::function<bool()>& reached, const QString& state)
    {
        return reach(waitFor(reached, bound()), state);
    }

    // As await(), but gives up as soon as `possible` says the state can no
    // longer come (the run it belongs to ended without it).
    bool awaitWhile(const std::function<bool()>& reached, const std::function<bool()>& possible, const QString& state)
    {
        return reach(waitWhilePossible(reached, possible, bound()), state);
    }

    // The last frame of every animation under `root` (an entrance, a spring,
    // a slide).
    bool awaitStill(const QObject& root, const QString& state)
    {
        return await([&root] { return animationsSettled(root); }, state);
    }

    // What the window shows now, without turning the event loop: a state
    // that ends at the next turn is still on screen.
    bool saveNow(QWidget& window, const QString& name)
    {
        settleLayouts();
        return write(window.grab(), name);
    }

    // What the window shows once queued rebuilds and paints have landed.
    bool save(QWidget& window, const QString& name)
    {
        pause(150);
        return saveNow(window, name);
    }

    // The window with a sheet, alert or menu of it drawn where it stands,
    // over the window dimmed or as it is.
    bool saveWith(QWidget& window, QWidget& sheet, const QString& name, bool dim = true)
    {
        pause(150);
        settleLayouts();
        QPixmap picture = window.grab();
        QPainter painter(&picture);
        if (dim)
            painter.fillRect(picture.rect(), QColor(0, 0, 0, 90));
        painter.drawPixmap(window.mapFromGlobal(sheet.mapToGlobal(QPoint(0, 0))), sheet.grab());
        painter.end();
        return write(picture, name);
    }

    bool write(const QPixmap& picture, const QString& name)
    {
        const QString path = QDir(m_folder).filePath(name);
        if (picture.isNull() || !picture.save(path)) {
            QTextStream(stderr) << "could not write " << path << "\n";
            return reach(false, name);
        }
        QTextStream(stdout) << "wrote " << path << "\n";
        return true;
    }

    const QString& folder() const { return m_folder; }
    const QStringList& missed() const { return m_missed; }

    // The exit status: 0 when every state came, every picture was written
    // and every symbol asked for was known; otherwise 1, naming what was not.
    int finish()
    {
        if (!SymbolRegistry::unknownRequests().isEmpty())
            reach(false, QStringLiteral("known symbols only (asked for: ") +
                             SymbolRegistry::unknownRequests().join(u", ") + u')');
        if (m_missed.isEmpty())
            return 0;
        QTextStream(stderr) << program() << " missed: " << m_missed.join(u"; ") << "\n";
        return 1;
    }

private:
    // Once a state was missed the run has failed already; later states get a
    // short wait, so that a broken program fails in minutes and not hours.
    int bound() const { return m_missed.isEmpty() ? stateBoundMs : missedBoundMs; }

    static constexpr int missedBoundMs = 10'000;

    static QString program() { return QFileInfo(QCoreApplication::applicationFilePath()).fileName(); }

    QString m_folder;
    QStringList m_missed;
};

} // namespace render
