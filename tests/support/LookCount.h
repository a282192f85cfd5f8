#pragma once

#include <QString>

#include <map>
#include <mutex>

// How often an analyzer looked at each file, by file name: counted on the
// analysis threads, read on the test's.
class LookCount
{
public:
    // Counts a look at the file at `path`; gives its name.
    QString add(const QString& path)
    {
        const QString name = path.section(u'/', -1);
        const std::lock_guard lock(m_mutex);
        ++m_looks[name];
        return name;
    }
    int of(const QString& name) const
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_looks.find(name);
        return found == m_looks.end() ? 0 : found->second;
    }
    int total() const
    {
        const std::lock_guard lock(m_mutex);
        int sum = 0;
        for (const auto& [name, count] : m_looks)
            sum += count;
        return sum;
    }

private:
    mutable std::mutex m_mutex;
    std::map<QString, int> m_looks;
};
