#pragma once

#include <string_view>
#include <vector>

namespace varnel {

// The three built-in character tables of 随机汉字, each a list of distinct
// characters: 0 the 498 most frequent (most frequent first), 1 the 2500
// common and 2 the 1000 less common characters (both in stroke order).
enum class HanziTableIndex { MostFrequent = 0, Common = 1, LessCommon = 2 };

const std::vector<std::string_view> &hanziTable(HanziTableIndex index);

} // namespace varnel
