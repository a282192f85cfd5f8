#pragma once

#include <QDeadlineTimer>

#include <stop_token>

class QThreadPool;

// The one worker on which the three tools (re-organizer, space saver,
// duplicate finder) change the monitored folder: their runs, undos and
// deletions happen one after another, never over each other, and outlive the
// screens that started them. A screen that closes hands nothing back to the
// GUI thread and waits for nothing.
//
// Quitting does not wait for a run to end: it asks the job under way to stop
// at its next safe point (between two files), where the job leaves its
// journal for the next start to settle, as after a kill.
namespace ToolJobs {
QThreadPool& worker();
// Where the space saver encodes its renditions ahead of the run. An encoding
// cannot be interrupted: a run stopped for quitting leaves its encodings
// here, and their results are dropped.
QThreadPool& encoders();

// What a job passes to the tool it runs; asked to stop when quitting begins.
std::stop_token stopToken();
// Asks every job queued so far to stop at its next safe point.
void requestStop();
// After requestStop(): waits until `deadline` at most for the worker. True
// when it is idle; later jobs then run unasked to stop.
bool waitForStop(QDeadlineTimer deadline);
// Whether encodings that a stopped run left behind are still running.
bool encodingsLeft();
// Waits for every job queued so far, and for the encodings they began.
void waitForAll();
} // namespace ToolJobs
