// What the programs that read peaks from a genome are told alike: the
// regions, the genome, --summits and --skip-missing, through getopt_long.
#pragma once

#include <getopt.h>

#include <cstdint>
#include <string>
#include <vector>

#include "genome.h"
#include "regions.h"

struct region_options {
    std::string regions, genome;
    std::int64_t summits = 0;  // the width around each summit, or 0 for the regions as given
    bool skip_missing = false;
    std::string control_regions;  // regions of the same genome as controls, where given
};

// The long options, their values from region_option_base on, and their help lines.
inline constexpr int region_option_base = 3000;
std::vector<option> region_long_options();
extern const char* const region_options_help;

// Takes option `c` if it is one of the region options (usage errors end the
// program); returns false for any other.
bool take_region_option(const char* program, int c, const char* value, region_options& options);

// Reads the regions, centres them on their summits with --summits, opens the
// genome and checks the regions against it (with --skip-missing, one warning
// line for those left out). Reports a failure in one line and returns false.
bool load_regions(const char* program, const region_options& options, genome_file& genome,
                  std::vector<genome_region>& regions);
