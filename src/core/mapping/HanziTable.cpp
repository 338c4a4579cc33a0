#include "mapping/HanziTable.h"

#include "text/Charset.h"
#include "text/HanziData.h"

namespace varnel {

namespace {

std::vector<std::string_view> characters(std::string_view text)
{
    std::vector<std::string_view> out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8SequenceLength(static_cast<unsigned char>(text[i]));
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

} // namespace

const std::vector<std::string_view> &hanziTable(HanziTableIndex index)
{
    static const std::vector<std::string_view> tables[3] = {
        characters(hanzi_data::kFrequent),
        characters(hanzi_data::kCommon),
        characters(hanzi_data::kSecondary),
    };
    return tables[static_cast<int>(index)];
}

} // namespace varnel
