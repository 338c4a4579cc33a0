#pragma once

// What the packaging holds of the option table: the manual page's options
// and the bash completion. The build makes both (varnel-cli-docs) and a test
// holds packaging/ to them.

#include <string>

namespace varnel::cli {

// The OPTIONS section of varnel-cli(1), from its ".SH OPTIONS" line on.
std::string manOptionsSection();

// The bash completion script of varnel-cli.
std::string bashCompletion();

} // namespace varnel::cli
