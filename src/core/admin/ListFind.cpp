#include "admin/ListFind.h"

#include "util/AsciiCase.h"

namespace varnel {
namespace {

int scan(const std::vector<std::string> &items, const std::string &loweredTerm, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to && i < items.size(); ++i) {
        if (asciiLowered(items[i]).find(loweredTerm) != std::string::npos)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

int findInList(const std::vector<std::string> &items, std::string_view term, int start)
{
    const std::string lowered = asciiLowered(term);
    const std::size_t from = start > 0 ? static_cast<std::size_t>(start) : 0;
    const int found = scan(items, lowered, from, items.size());
    if (found >= 0 || from == 0)
        return found;
    return scan(items, lowered, 0, from);
}

} // namespace varnel
