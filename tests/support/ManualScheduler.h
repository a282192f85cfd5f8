#pragma once

#include "core/Scheduler.h"

#include <QPointer>

#include <algorithm>
#include <vector>

// Time that passes only when a test says so: advance() runs, in order, every
// task that has come due, including tasks those tasks schedule within the
// same span.
class ManualScheduler : public Scheduler
{
public:
    void runAfter(std::chrono::milliseconds delay, QObject* context, std::function<void()> task) override
    {
        m_tasks.push_back({m_now + delay, m_sequence++, context, std::move(task)});
    }

    void advance(std::chrono::milliseconds span)
    {
        const std::chrono::milliseconds end = m_now + span;
        while (true) {
            const auto next = std::min_element(m_tasks.begin(), m_tasks.end(), [](const Task& a, const Task& b) {
                return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
            });
            if (next == m_tasks.end() || next->due > end)
                break;
            Task task = std::move(*next);
            m_tasks.erase(next);
            m_now = std::max(m_now, task.due);
            if (task.context)
                task.run();
        }
        m_now = end;
    }

    // Moves time on to the first task due and runs it (and any due with it);
    // false when nothing is waiting.
    bool runNext()
    {
        if (m_tasks.empty())
            return false;
        const auto first = std::min_element(m_tasks.begin(), m_tasks.end(),
                                            [](const Task& a, const Task& b) { return a.due < b.due; });
        advance(std::max(std::chrono::milliseconds(0), first->due - m_now));
        return true;
    }

    std::chrono::milliseconds now() const override { return m_now; }
    size_t pending() const { return m_tasks.size(); }

private:
    struct Task
    {
        std::chrono::milliseconds due;
        quint64 sequence;
        QPointer<QObject> context;
        std::function<void()> run;
    };

    std::chrono::milliseconds m_now{0};
    quint64 m_sequence = 0;
    std::vector<Task> m_tasks;
};
