#include "cli/PreviewJson.h"

#include "text/Charset.h"

#include <nlohmann/json.hpp>

namespace varnel::cli {

namespace {

using Json = nlohmann::ordered_json;

// The compact form with a space after every comma and colon, which the
// output has always had.
void write(const Json &j, std::string &out)
{
    if (j.is_object()) {
        out += '{';
        bool first = true;
        for (const auto &[key, value] : j.items()) {
            out += first ? "" : ", ";
            first = false;
            out += Json(key).dump();
            out += ": ";
            write(value, out);
        }
        out += '}';
    } else if (j.is_array()) {
        out += '[';
        for (std::size_t i = 0; i < j.size(); ++i) {
            out += i ? ", " : "";
            write(j[i], out);
        }
        out += ']';
    } else {
        // Strings are well-formed already; "replace" only keeps a mistake
        // from ever throwing.
        out += j.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
}

} // namespace

std::string previewJsonLine(const PreviewRow &row)
{
    Json line = Json::object();
    bool badName = false;
    line["file"] = wellFormedUtf8(row.file, &badName);
    if (badName)
        line["file_hex"] = hexBytes(row.file);
    line["encoding"] = row.encoding;
    if (!row.encodingCertain)
        line["encoding_uncertain"] = true;
    Json values = Json::array();
    for (const auto &v : row.values)
        values.push_back(Json::array({wellFormedUtf8(v.target), wellFormedUtf8(v.source), wellFormedUtf8(v.value)}));
    line["values"] = std::move(values);
    if (!row.error.empty())
        line["error"] = wellFormedUtf8(row.error);
    if (row.incomplete)
        line["incomplete"] = true;
    std::string out;
    write(line, out);
    return out;
}

} // namespace varnel::cli
