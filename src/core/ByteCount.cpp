#include "core/ByteCount.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {
struct Unit
{
    const char* name;
    int decimals;
};
// Kilobytes whole, megabytes to a tenth, larger units to a hundredth.
constexpr std::array<Unit, 5> kUnits{{{"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}}};

constexpr size_t kGigabytes = 2;

QString trimmed(double value, int decimals)
{
    // Grouped thousands only appear where the largest unit allowed is passed ("1,500 GB").
    QString text = QLocale(QLocale::English, QLocale::UnitedStates).toString(value, 'f', decimals);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}
} // namespace

QString formatFileByteCount(qint64 bytes, ByteUnits units)
{
    if (bytes == 0)
        return u"Zero KB"_s;
    const double magnitude = std::abs(double(bytes));
    const QString sign = bytes < 0 ? u"-"_s : QString();
    if (magnitude < 1000 && units == ByteUnits::all)
        return sign + QString::number(qint64(magnitude)) + (magnitude == 1 ? u" byte"_s : u" bytes"_s);

    const size_t last = units == ByteUnits::all ? kUnits.size() - 1 : kGigabytes;
    double value = magnitude;
    for (size_t i = 0; i <= last; ++i) {
        value /= 1000;
        const double scale = std::pow(10.0, kUnits[i].decimals);
        // A file with any bytes at all is never "0 KB".
        const double rounded = std::max(std::round(value * scale) / scale, i == 0 ? 1.0 : 0.0);
        if (rounded < 1000 || i == last)
            return sign + trimmed(rounded, kUnits[i].decimals) + u' ' + QLatin1String(kUnits[i].name);
    }
    return {};
}
