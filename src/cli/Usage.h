#pragma once

#include <string>

namespace varnel::cli {

// What varnel-cli --help prints, in English and Chinese.
std::string usageText();

} // namespace varnel::cli
