// What the programs that search for new motifs are told alike: the widths,
// how many motifs and the E-value that ends the search, through getopt_long.
#pragma once

#include <getopt.h>

#include <cstdint>
#include <vector>

#include "discover.h"

// More motifs than this are mostly each other's echoes.
inline constexpr std::uint64_t max_motifs = 100;

// The long options, their values from search_option_base on, and their help lines.
inline constexpr int search_option_base = 4000;
std::vector<option> search_long_options();
extern const char* const search_options_help;

// Takes option `c` into `settings` if it is one of the search options
// (usage errors end the program); returns false for any other.
bool take_search_option(const char* program, int c, const char* value, discover_settings& settings);

// After the options: --minw not above --maxw.
void check_search_options(const char* program, const discover_settings& settings);
