#include "search_options.h"

#include <string>

#include "report.h"

const char* const search_options_help =
    "      --minw N          the least width of a new motif (default 8; 3 to 30)\n"
    "      --maxw N          the greatest width (default 15; 3 to 30)\n"
    "      --nmotifs N       find at most N new motifs (default 10; at most 100)\n"
    "      --evalue E        stop at the first new motif whose E-value (p times\n"
    "                        the motifs tried) is above E (default 0.05)\n";

namespace {

enum { minw_option = search_option_base, maxw_option, nmotifs_option, evalue_option };

}  // namespace

std::vector<option> search_long_options() {
    return {{"minw", required_argument, nullptr, minw_option},
            {"maxw", required_argument, nullptr, maxw_option},
            {"nmotifs", required_argument, nullptr, nmotifs_option},
            {"evalue", required_argument, nullptr, evalue_option}};
}

bool take_search_option(const char* program, int c, const char* value, discover_settings& settings) {
    switch (c) {
    case minw_option:
        settings.min_width = whole_option(program, "--minw", value, 3, max_discover_width);
        return true;
    case maxw_option:
        settings.max_width = whole_option(program, "--maxw", value, 3, max_discover_width);
        return true;
    case nmotifs_option:
        settings.motifs = whole_option(program, "--nmotifs", value, 1, max_motifs);
        return true;
    case evalue_option:
        settings.evalue = number_option(program, "--evalue", value);
        if (!(settings.evalue > 0)) usage_error(program, std::string("option --evalue: '") + value + "' is not above 0");
        return true;
    default:
        return false;
    }
}

void check_search_options(const char* program, const discover_settings& settings) {
    if (settings.min_width > settings.max_width)
        usage_error(program, "--minw " + std::to_string(settings.min_width) + " is above --maxw " +
                                 std::to_string(settings.max_width));
}
