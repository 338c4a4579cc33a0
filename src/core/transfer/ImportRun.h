#pragma once

#include "mapping/Generators.h"
#include "transfer/ArticleImporter.h"

#include <cstdint>
#include <string>

namespace varnel {

// What one import run knows about itself, from its checks to its final
// message; shared by the importer's parts (checks, table, limits, the loop).
struct ArticleImporter::Run {
    std::string database;
    std::string table;
    std::string key; // the key column; empty: none
    bool tableExisted = false;
    InsertLimits limits; // of its statements
    NoRepeatRandom orderPicker;
    std::int64_t imported = 0;
    bool stopped = false;
};

} // namespace varnel
