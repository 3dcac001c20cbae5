#include "control_options.h"

#include <string>

#include "report.h"

const char* const control_options_help =
    "      --background B    with --regions, the controls: gc (default), random\n"
    "                        regions of the genome matched to each target's length\n"
    "                        and GC content, or shuffle, the targets shuffled\n"
    "      --shuffles K      controls for each target (default 1; at most 1000)\n"
    "      --seed N          seed of the controls and all else drawn at random\n"
    "                        (default 1): the same seed, the same results\n";

namespace {

enum { background_option = control_option_base, shuffles_option, seed_option };

}  // namespace

std::vector<option> control_long_options() {
    return {{"background", required_argument, nullptr, background_option},
            {"shuffles", required_argument, nullptr, shuffles_option},
            {"seed", required_argument, nullptr, seed_option}};
}

bool take_control_option(const char* program, int c, const char* value, control_options& options) {
    switch (c) {
    case background_option:
        options.kind_given = true;
        if (std::string(value) == "gc") {
            options.kind = background::gc;
        } else if (std::string(value) == "shuffle") {
            options.kind = background::shuffle;
        } else {
            usage_error(program, std::string("option --background: '") + value + "' is not gc or shuffle");
        }
        return true;
    case shuffles_option:
        options.shuffles = whole_option(program, "--shuffles", value, 1, max_shuffles);
        options.shuffles_given = true;
        return true;
    case seed_option:
        options.seed = whole_option(program, "--seed", value, 0, UINT64_MAX);
        return true;
    default:
        return false;
    }
}
