#include "ingest/PixelBudget.h"

#include <utility>

PixelBudget::Share::Share(PixelBudget* budget, qint64 bytes)
    : m_budget(budget)
    , m_bytes(bytes)
{}

PixelBudget::Share::Share(Share&& other) noexcept
    : m_budget(std::exchange(other.m_budget, nullptr))
    , m_bytes(other.m_bytes)
{}

PixelBudget::Share::~Share()
{
    if (m_budget)
        m_budget->giveBack(m_bytes);
}

PixelBudget::PixelBudget(qint64 bytes)
    : m_bytes(bytes)
{}

PixelBudget::Share PixelBudget::take(qint64 bytes)
{
    std::unique_lock lock(m_mutex);
    m_returned.wait(lock, [&] { return m_held == 0 || m_held + bytes <= m_bytes; });
    m_held += bytes;
    return Share(this, bytes);
}

qint64 PixelBudget::held() const
{
    std::lock_guard lock(m_mutex);
    return m_held;
}

qint64 PixelBudget::bytesFor(QSize size, qint64 bytesPerPixel)
{
    if (!size.isValid())
        return 0;
    return qint64(size.width()) * size.height() * bytesPerPixel;
}

void PixelBudget::giveBack(qint64 bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_held -= bytes;
    }
    m_returned.notify_all();
}
