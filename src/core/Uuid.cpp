#include "core/Uuid.h"

QString uuidText(const QUuid& id)
{
    // Written digit by digit: plans and history files format one per file,
    // and formatting then upper-casing a copy cost two allocations each.
    static constexpr char digits[] = "0123456789ABCDEF";
    QString text(36, Qt::Uninitialized);
    QChar* out = text.data();
    const auto put = [&out](quint32 value, int count) {
        for (int shift = 4 * (count - 1); shift >= 0; shift -= 4)
            *out++ = QLatin1Char(digits[(value >> shift) & 0xF]);
    };
    put(id.data1, 8);
    *out++ = u'-';
    put(id.data2, 4);
    *out++ = u'-';
    put(id.data3, 4);
    *out++ = u'-';
    put(id.data4[0], 2);
    put(id.data4[1], 2);
    *out++ = u'-';
    for (int i = 2; i < 8; ++i)
        put(id.data4[i], 2);
    return text;
}

std::optional<QUuid> parseUuid(QStringView text)
{
    if (text.size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != u"00000000-0000-0000-0000-000000000000")
        return std::nullopt;
    return id;
}
