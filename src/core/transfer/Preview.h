#pragma once

#include "transfer/RowBuilder.h"
#include "util/Clock.h"
#include "util/Random.h"

#include <optional>
#include <string>
#include <vector>

namespace varnel {

class Form;

// What an import would store for one file, without a server: the encoding it
// settled on and each rule's value exactly as stored, made by the import's
// own row builder (an empty value is one space; rules targeting "ID" are
// skipped, as the import skips them).
struct PreviewRow {
    std::string file;
    int encoding = 0;
    // False when 自动识别 could not be sure and read the file as GBK.
    bool encodingCertain = true;
    using Value = RowValue;
    std::vector<Value> values;
    // Why the file could not be read (the import skips it); no values then.
    std::string error;
    // Damaged gzip data: the values come from the part that could be read;
    // or UTF-8 with stray bytes; or an encoding not certain (incompleteReason
    // tells which).
    bool incomplete = false;
    std::string incompleteReason;
};

// `tableColumns`: the columns of the table the import would write to, when it
// exists. A positional target then names the column at its position, as in
// the import; without them positions stay as typed, as in an import that
// creates its table. The window's mapping is left as it is.
std::vector<PreviewRow> previewImport(Form &form, const std::vector<std::string> &files,
    RandomSource &random = defaultRandom(), Clock &clock = systemClock(),
    const std::optional<std::vector<std::string>> &tableColumns = std::nullopt);

} // namespace varnel
