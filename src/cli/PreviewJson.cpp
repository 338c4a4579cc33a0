#include "cli/PreviewJson.h"

#include <nlohmann/json.hpp>

namespace varnel::cli {

namespace {

// Bytes of the well-formed sequence starting at s[i], or 0.
std::size_t sequenceLength(std::string_view s, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0; // overlong below
        else if (b == 0xED)
            high = 0x9F; // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90; // overlong below
        else if (b == 0xF4)
            high = 0x8F; // past 10FFFF
    } else {
        return 0;
    }
    if (i + length > s.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    }
    return length;
}

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

std::string wellFormedUtf8(std::string_view bytes, bool *replaced)
{
    std::string out;
    out.reserve(bytes.size());
    bool any = false;
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::size_t n = sequenceLength(bytes, i)) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            any = true;
            ++i;
        }
    }
    if (replaced)
        *replaced = any;
    return out;
}

std::string hexBytes(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    return out;
}

std::string previewJsonLine(const PreviewRow &row)
{
    Json line = Json::object();
    bool badName = false;
    line["file"] = wellFormedUtf8(row.file, &badName);
    if (badName)
        line["file_hex"] = hexBytes(row.file);
    line["encoding"] = row.encoding;
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
