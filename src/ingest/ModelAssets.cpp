#include "ingest/ModelAssets.h"

#include "core/BuildInfo.h"

QString ModelAssets::path(const QString& fileName)
{
    return QStringLiteral(BRINDLE_GENERATED_DIR "/models/") + fileName;
}
