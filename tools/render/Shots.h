#pragma once

#include "ui/SymbolRegistry.h"

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

#include <functional>

// What every renderer shares: it waits on the state it pictures, never on the
// clock, and when a state does not come or a picture cannot be written it
// names it and ends with a failure.
namespace render {

// How long an awaited state may take on a machine busy with other work.
inline constexpr int stateBoundMs = 60'000;

// Turns the event loop for `ms`. Only for what has no state to wait on: the
// last frames of an animation, a paint.
inline void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

inline bool waitFor(const std::function<bool()>& reached, int timeoutMs = stateBoundMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!reached() && waited.elapsed() < timeoutMs)
        pause(20);
    return reached();
}

// Waits for `reached` as long as `step` keeps moving: a long run on a busy
// machine may take minutes, but never a whole bound for one step.
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

    bool await(const std::function<bool()>& reached, const QString& state, int timeoutMs = stateBoundMs)
    {
        return reach(waitFor(reached, timeoutMs), state);
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
    static QString program() { return QFileInfo(QCoreApplication::applicationFilePath()).fileName(); }

    QString m_folder;
    QStringList m_missed;
};

} // namespace render
