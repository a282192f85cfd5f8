#pragma once

#include <QStringList>

// The kinds of file the library holds, by lower-cased extension.
namespace SupportedFiles {
const QStringList& extensions();
} // namespace SupportedFiles
