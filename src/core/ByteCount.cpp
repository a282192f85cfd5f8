#include "core/ByteCount.h"

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

QString trimmed(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}
} // namespace

QString formatFileByteCount(qint64 bytes)
{
    if (bytes == 0)
        return u"Zero KB"_s;
    const double magnitude = std::abs(double(bytes));
    const QString sign = bytes < 0 ? u"-"_s : QString();
    if (magnitude < 1000)
        return sign + QString::number(qint64(magnitude)) + (magnitude == 1 ? u" byte"_s : u" bytes"_s);

    double value = magnitude;
    for (size_t i = 0; i < kUnits.size(); ++i) {
        value /= 1000;
        const double scale = std::pow(10.0, kUnits[i].decimals);
        const double rounded = std::round(value * scale) / scale;
        if (rounded < 1000 || i + 1 == kUnits.size())
            return sign + trimmed(rounded, kUnits[i].decimals) + u' ' + QLatin1String(kUnits[i].name);
    }
    return {};
}
