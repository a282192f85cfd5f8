#pragma once

#include "core/LeasePool.h"
#include "core/SharedWork.h"
#include "core/Workers.h"
#include "ingest/PageReader.h"

// Text recognition set up as the analyzer sets it up: engines, work shared
// over `helpers` (none: one engine reads each page whole), and a reader.
struct Reading
{
    explicit Reading(Workers::Pool* helpers = nullptr, int engines = 4)
        : engines(engines, [](QString*) { return std::make_unique<TextRecognizer>(); })
        , work(helpers)
        , reader(this->engines, work)
    {}

    LeasePool<TextRecognizer> engines;
    SharedWork work;
    PageReader reader;
};
