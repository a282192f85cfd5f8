#pragma once

#include <QString>
#include <QtGlobal>

// Byte counts as the desktop's file managers write file sizes: decimal
// multiples of 1000 ("999 bytes", "12 KB", "3.4 MB", "1.25 GB"), "Zero KB"
// for nothing.
QString formatFileByteCount(qint64 bytes);
