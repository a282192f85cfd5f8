#pragma once

class QThreadPool;

// The one worker on which the three tools (re-organizer, space saver,
// duplicate finder) change the monitored folder: their runs, undos and
// deletions happen one after another, never over each other, and outlive the
// screens that started them. A screen that closes hands nothing back to the
// GUI thread and waits for nothing; quitting waits here, before the services
// the jobs use go.
namespace ToolJobs {
QThreadPool& worker();
// Waits for every job queued so far (at quit, off any screen).
void waitForAll();
} // namespace ToolJobs
