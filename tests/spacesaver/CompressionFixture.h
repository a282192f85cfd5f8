#pragma once

// A monitored folder of generated images with a store of its own, and a
// compression service over them whose file steps a test can make fail.

#include "core/DatabaseManager.h"
#include "core/ImageLoader.h"
#include "core/Uuid.h"
#include "spacesaver/CompressionService.h"
#include "support/Capture.h"
#include "support/FaultyFileOps.h"

#include <QColorSpace>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace images {
// Window panels and lines of text with soft edges: compresses as a real
// interface capture does.
inline QImage interface(QSize size, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    image.fill(QColor(0xF3, 0xF3, 0xF5));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(0, 0, size.width() / 5, size.height(), QColor(0x25, 0x25, 0x26));
    QRandomGenerator random(size.width() * 31 + size.height());
    for (int y = 40; y < size.height() - 20; y += 22) {
        const int width = 200 + int(random.bounded(size.width() / 2));
        painter.fillRect(size.width() / 4, y, width, 9, QColor(0x1D, 0x1D, 0x1F));
    }
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(0x63, 0x66, 0xF1));
    gradient.setColorAt(1, QColor(0x10, 0xB9, 0x81));
    painter.setBrush(gradient);
    painter.drawEllipse(QPoint(size.width() * 3 / 4, size.height() / 3), size.height() / 6, size.height() / 6);
    return image;
}

// Camera-like: smooth colour waves, which PNG and JPEG store at length and
// HEVC in a fraction of it.
inline QImage photo(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] =
                qRgb(int(127.5 + 127 * std::sin(x / 17.0 + y / 23.0)), int(127.5 + 127 * std::sin(x / 29.0 - y / 11.0)),
                     int(127.5 + 127 * std::sin((x + y) / 41.0)));
    }
    return image;
}

// A photo behind lines of dark "text": the sharp edges cost JPEG dearly.
inline QImage texted(QSize size)
{
    QImage image = photo(size);
    QPainter painter(&image);
    for (int y = 6; y < size.height() - 6; y += 9)
        for (int x = 4; x < size.width() - 12; x += 13)
            painter.fillRect(x, y, 3 + (x * y) % 8, 4, QColor(0x10, 0x10, 0x10));
    return image;
}

// Opaque left half, see-through right half.
inline QImage halfTransparent(QImage base)
{
    QImage image = base.convertToFormat(QImage::Format_ARGB32);
    const QSize size = image.size();
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), Qt::transparent);
    return image;
}

// Eight palette colours, one of them fully transparent.
inline QImage paletteWithTransparency(QSize size)
{
    QImage image(size, QImage::Format_Indexed8);
    image.setColorTable({qRgba(0, 0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0),
                         qRgb(0, 255, 255), qRgb(255, 0, 255), qRgb(255, 255, 255)});
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, uint((x / 32 + y / 32) % 8));
    return image;
}

// Noise that no image reader takes for an image.
inline QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator random{quint32(count)};
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

inline bool alphaAt(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y)) < 128;
}
} // namespace images

class CompressionFixture : public ::testing::Test
{
public:
    using Service = CompressionService;
    using Operation = Service::CompressionPlan::FileOperation;

    CompressionFixture()
        : m_store(m_dir.filePath(QStringLiteral("store.sqlite")))
        , m_service(m_store, m_fileOps)
    {
        m_folder = m_dir.filePath(QStringLiteral("Desktop"));
        QDir().mkpath(m_folder);
    }

    QString path(const QString& name) const { return QDir(m_folder).filePath(name); }

    // Saves `image` under `name` and gives it a store row.
    QString addImage(const QString& name, const QImage& image, const char* format = nullptr, int quality = -1)
    {
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).path());
        EXPECT_TRUE(image.save(file, format, quality)) << name.toStdString();
        addRow(file);
        return file;
    }

    QString addBytes(const QString& name, const QByteArray& bytes)
    {
        const QString file = path(name);
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        addRow(file);
        return file;
    }

    void addRow(const QString& file)
    {
        const Screenshot screenshot(file, QUuid::createUuid());
        m_store.upsert(screenshot);
        m_screenshots.append(screenshot);
    }

    Service::CompressionPlan plan(double quality = 0.95) const
    {
        return m_service.analyzeForCompression(m_screenshots, {quality, 4});
    }

    Service::CompressionResult run(int workers = 2, double quality = 0.9)
    {
        return run(plan(quality), workers, quality);
    }

    Service::CompressionResult run(const Service::CompressionPlan& plan, int workers = 2, double quality = 0.9)
    {
        m_progress.clear();
        return m_service.compress(plan.files, {quality, workers}, m_folder, [this](int current, int total) {
            m_progress.append({current, total});
        });
    }

    // Whether the store's row of `screenshot` holds `file` as its path.
    bool rowPointsAt(const Screenshot& screenshot, const QString& file)
    {
        const auto row = m_store.fetchByPath(file);
        return row && row->id == screenshot.id;
    }

    QStringList entries() const { return QDir(m_folder).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    static QByteArray hashOf(const QString& file)
    {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            return {};
        return QCryptographicHash::hash(in.readAll(), QCryptographicHash::Sha256);
    }

    // Every file of the folder with its content's hash: compared before and
    // after a run that must change nothing.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        for (const QString& name : entries())
            files.insert(name, hashOf(path(name)));
        return files;
    }

    QTemporaryDir m_dir;
    QString m_folder;
    DatabaseManager m_store;
    FaultyFileOps m_fileOps;
    Service m_service;
    QList<Screenshot> m_screenshots;
    QList<std::pair<int, int>> m_progress;
};
