// varnel-cli-docs: prints what the packaging holds of varnel-cli's option
// table, for the build to write and a test to compare.
//
//   varnel-cli-docs man-options | completion
#include "cli/OptionDocs.h"

#include <cstdio>
#include <string_view>

int main(int argc, char **argv)
{
    const std::string_view what = argc == 2 ? argv[1] : "";
    if (what == "man-options") {
        std::fputs(varnel::cli::manOptionsSection().c_str(), stdout);
    } else if (what == "completion") {
        std::fputs(varnel::cli::bashCompletion().c_str(), stdout);
    } else {
        std::fputs("usage: varnel-cli-docs man-options | completion\n", stderr);
        return 2;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
