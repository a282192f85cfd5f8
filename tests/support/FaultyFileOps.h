#pragma once

#include "platform/FileOps.h"

#include <QStringList>

#include <array>
#include <functional>

// The real file operations, except for the calls a test picks to fail.
// Header-only: test programs that use it link brindle_platform themselves.
class FaultyFileOps : public SystemFileOps
{
public:
    enum class Step {
        Move,
        MakeFolder,
        Write,
        Remove,
        SetTimes,
    };

    // Fails the `nth` call (counted from 1) of `step`.
    void failNth(Step step, int nth) { m_failAt[size_t(step)] = nth; }
    // Fails every call for which `rule` holds.
    void failWhen(std::function<bool(Step, const QString& path)> rule) { m_rule = std::move(rule); }
    int calls(Step step) const { return m_calls[size_t(step)]; }
    // "step path" of every call, in order, failed ones included.
    const QStringList& log() const { return m_log; }

    SafeFile::Outcome move(const QString& from, const QString& to) override
    {
        return shouldFail(Step::Move, from) ? injected(from) : SystemFileOps::move(from, to);
    }
    SafeFile::Outcome makeFolder(const QString& path) override
    {
        return shouldFail(Step::MakeFolder, path) ? injected(path) : SystemFileOps::makeFolder(path);
    }
    SafeFile::Outcome write(const QString& path, const QByteArray& bytes, Write mode) override
    {
        return shouldFail(Step::Write, path) ? injected(path) : SystemFileOps::write(path, bytes, mode);
    }
    SafeFile::Outcome remove(const QString& path) override
    {
        return shouldFail(Step::Remove, path) ? injected(path) : SystemFileOps::remove(path);
    }
    SafeFile::Outcome setTimes(const QString& path, const SafeFile::FileTimes& times) override
    {
        return shouldFail(Step::SetTimes, path) ? injected(path) : SystemFileOps::setTimes(path, times);
    }

private:
    bool shouldFail(Step step, const QString& path)
    {
        const int count = ++m_calls[size_t(step)];
        m_log.append(QString::number(int(step)) + QLatin1Char(' ') + path);
        return m_failAt[size_t(step)] == count || (m_rule && m_rule(step, path));
    }
    static SafeFile::Outcome injected(const QString& path)
    {
        return SafeFile::Outcome::failed(QStringLiteral("Injected failure: ") + path);
    }

    std::array<int, 5> m_failAt{};
    std::array<int, 5> m_calls{};
    QStringList m_log;
    std::function<bool(Step, const QString&)> m_rule;
};
