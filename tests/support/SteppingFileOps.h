#pragma once

// The real file steps of the tools, each told to a watcher as it happens: a
// move once done (the file is at its new place, nothing else has followed
// yet; one that failed is not told), a write or a removal just before it. Crash tests die at a chosen
// step; the soak kills or faults the store at a random one.

#include "platform/FileOps.h"

#include <functional>

class SteppingFileOps : public SystemFileOps
{
public:
    enum class Step { moved, writing, removing };
    // `number` counts the steps of that kind so far, this one included.
    using Watcher = std::function<void(Step step, int number, const QString& path)>;

    Watcher watcher;

    SafeFile::Outcome move(const QString& from, const QString& to) override
    {
        SafeFile::Outcome outcome = SystemFileOps::move(from, to);
        if (outcome)
            tell(Step::moved, ++m_moves, to);
        return outcome;
    }
    SafeFile::Outcome write(const QString& path, const QByteArray& bytes, Write mode) override
    {
        tell(Step::writing, ++m_writes, path);
        return SystemFileOps::write(path, bytes, mode);
    }
    SafeFile::Outcome remove(const QString& path) override
    {
        tell(Step::removing, ++m_removals, path);
        return SystemFileOps::remove(path);
    }

private:
    void tell(Step step, int number, const QString& path) const
    {
        if (watcher)
            watcher(step, number, path);
    }

    int m_moves = 0;
    int m_writes = 0;
    int m_removals = 0;
};
