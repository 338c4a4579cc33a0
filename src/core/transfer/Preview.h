#pragma once

#include "util/Clock.h"
#include "util/Random.h"

#include <string>
#include <vector>

namespace varnel {

class Form;

// What an import would store for one file, without a server: the encoding it
// settled on and each rule's value (rules targeting "ID" are skipped, as the
// import skips them; positional targets stay as typed).
struct PreviewRow {
    std::string file;
    int encoding = 0;
    struct Value {
        std::string target;
        std::string source;
        std::string value;
    };
    std::vector<Value> values;
};

std::vector<PreviewRow> previewImport(Form &form, const std::vector<std::string> &files,
    RandomSource &random = defaultRandom(), Clock &clock = systemClock());

} // namespace varnel
