#pragma once

#include <QString>
#include <QtGlobal>

enum class ByteUnits {
    all,                  // bytes up to petabytes
    kilobytesToGigabytes, // less than a kilobyte still in kilobytes, more than a terabyte in gigabytes
};

// Byte counts as the desktop's file managers write file sizes: decimal
// multiples of 1000 ("999 bytes", "12 KB", "3.4 MB", "1.25 GB"), "Zero KB"
// for nothing.
QString formatFileByteCount(qint64 bytes, ByteUnits units = ByteUnits::all);
