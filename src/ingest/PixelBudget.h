#pragma once

#include <QSize>
#include <QtGlobal>

#include <condition_variable>
#include <mutex>

// Bounds the memory that the pictures worked on at once (analysed, or
// encoded by the space saver) may take. A file takes a share (what its pixels
// will take while it is worked on) before it is decoded and gives it back
// when its work ends; while the budget is spent, the next file waits. A share
// larger than the whole budget is given when nothing else is held, so a very
// large picture is worked on alone.
class PixelBudget
{
public:
    class Share
    {
    public:
        Share(Share&& other) noexcept;
        Share& operator=(Share&&) = delete;
        ~Share();

    private:
        friend class PixelBudget;
        Share(PixelBudget* budget, qint64 bytes);

        PixelBudget* m_budget;
        qint64 m_bytes;
    };

    explicit PixelBudget(qint64 bytes);

    // Waits until `bytes` fit.
    Share take(qint64 bytes);
    qint64 held() const;

    // What a picture of `size` takes at `bytesPerPixel`; by default while it
    // is analysed, about six bytes a pixel: four decoded, one of ink, and the
    // working copies of its parts. Nothing for an unknown size.
    static qint64 bytesFor(QSize size, qint64 bytesPerPixel = 6);

    static constexpr qint64 defaultBytes = qint64(512) << 20;

private:
    void giveBack(qint64 bytes);

    const qint64 m_bytes;
    mutable std::mutex m_mutex;
    std::condition_variable m_returned;
    qint64 m_held = 0;
};
