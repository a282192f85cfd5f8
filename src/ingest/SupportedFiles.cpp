#include "ingest/SupportedFiles.h"

using namespace Qt::StringLiterals;

const QStringList& SupportedFiles::extensions()
{
    static const QStringList extensions{u"png"_s, u"jpg"_s, u"jpeg"_s, u"heic"_s, u"webp"_s, u"mp4"_s, u"mov"_s};
    return extensions;
}
