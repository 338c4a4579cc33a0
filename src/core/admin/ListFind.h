#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The index of the first item from `start` on whose text contains `term`,
// ASCII letters compared without case and every other byte exactly. When
// none does and `start` is past the first item, the items before `start` are
// searched once more from the first. -1 when no item matches. A find passes
// 0, a find-next the index after the current item.
int findInList(const std::vector<std::string> &items, std::string_view term, int start);

} // namespace varnel
