#pragma once

#include "util/Clock.h"
#include "util/Random.h"

#include <string>
#include <vector>

namespace varnel {

class Form;

// What an import would store for one file, without a server: the encoding it
// settled on and each rule's value exactly as stored (an empty value is one
// space; rules targeting "ID" are skipped, as the import skips them;
// positional targets stay as typed).
struct PreviewRow {
    std::string file;
    int encoding = 0;
    struct Value {
        std::string target;
        std::string source;
        std::string value;
    };
    std::vector<Value> values;
    // Why the file could not be read (the import skips it); no values then.
    std::string error;
    // Damaged gzip data: the values come from the part that could be read.
    bool incomplete = false;
};

std::vector<PreviewRow> previewImport(Form &form, const std::vector<std::string> &files,
    RandomSource &random = defaultRandom(), Clock &clock = systemClock());

} // namespace varnel
