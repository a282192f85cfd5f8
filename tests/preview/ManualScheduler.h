#pragma once

#include "preview/Scheduler.h"

#include <QObject>
#include <QPointer>

#include <algorithm>
#include <vector>

// A clock that moves only when the test says so: delayed calls run, in the
// order they fall due, as advance() passes their time.
class ManualScheduler
{
public:
    Scheduler scheduler()
    {
        return [this](std::chrono::milliseconds delay, QObject* context, std::function<void()> fn) {
            m_calls.push_back(Call{m_now + delay, m_sequence++, QPointer<QObject>(context), std::move(fn)});
        };
    }

    void advance(std::chrono::milliseconds step)
    {
        const std::chrono::milliseconds end = m_now + step;
        while (true) {
            auto next = std::min_element(m_calls.begin(), m_calls.end(), [](const Call& a, const Call& b) {
                return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
            });
            if (next == m_calls.end() || next->due > end)
                break;
            Call call = std::move(*next);
            m_calls.erase(next);
            m_now = call.due;
            if (call.context)
                call.fn();
        }
        m_now = end;
    }

    std::chrono::milliseconds now() const { return m_now; }
    size_t pending() const { return m_calls.size(); }

private:
    struct Call
    {
        std::chrono::milliseconds due;
        quint64 sequence;
        QPointer<QObject> context;
        std::function<void()> fn;
    };

    std::chrono::milliseconds m_now{0};
    quint64 m_sequence = 0;
    std::vector<Call> m_calls;
};
