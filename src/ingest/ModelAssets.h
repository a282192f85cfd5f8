#pragma once

#include <QString>

// Where the converted model files live (written by the build's converters in
// tools/). Every analysis service finds its model through here.
namespace ModelAssets {
QString path(const QString& fileName);
} // namespace ModelAssets
