// Regions of a genome from BED files (3 columns or more) and ENCODE
// narrowPeak files (BED6+4, the summit's offset tenth), as MACS2 writes them.
// A line's tenth column is a summit only where it is narrowPeak: of exactly
// 10 columns, or in a file named .narrowPeak; BED12 and gappedPeak lines
// have other things there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "genome.h"

struct genome_region {
    std::string chromosome;
    std::int64_t start = 0, end = 0;  // 0-based, end excluded
    std::int64_t summit = -1;         // the summit's position, where the file gives one
    std::uint64_t line = 0;           // in the file
    std::int64_t given_start = 0, given_end = 0;  // as the line has them, before centre_regions
    bool centred = false;
};

// Reads every region of a BED or narrowPeak file (plain or gzip; "-" for
// standard input), passing over blank lines, comments ('#') and track and
// browser lines. On failure returns false with `error` set to "PATH: line N:
// reason" (or "PATH: reason").
bool read_regions(const std::string& path, std::vector<genome_region>& regions, std::string& error);

// Each region made `width` bases centred on its summit, or its middle where
// the file gives no summit.
void centre_regions(std::vector<genome_region>& regions, std::int64_t width);

// Leaves out the regions of no base (start = end, as BED allows), which have
// no sequence: returns how many, with `first` set to "PATH: line N" of the
// first.
std::size_t drop_empty_regions(std::vector<genome_region>& regions, const std::string& path, std::string& first);

// Checks every region against the genome: on one of its chromosomes, within
// it. The first that is not fails with `error` set to "PATH: line N:
// reason"; or, with `skip`, every such region is left out and counted in
// `skipped`, `error` describing the first.
bool check_regions(const genome_file& genome, const std::string& path, std::vector<genome_region>& regions, bool skip,
                   std::size_t& skipped, std::string& error);

// The union of the regions, in the genome's order of chromosomes, then by
// start: overlapping or adjacent regions become one.
std::vector<genome_region> merged_regions(const genome_file& genome, std::vector<genome_region> regions);

// A region's name as bedtools getfasta writes it: "chr1:100-600".
std::string region_name(const genome_region& region);

// The regions' bases (case kept), read on `threads` threads, each a share of
// the regions in the genome's order and its own handle on the file. The
// regions must lie within the genome. On failure returns false with `error`
// set.
bool fetch_regions(const genome_file& genome, const std::vector<genome_region>& regions, unsigned threads,
                   std::vector<std::string>& bases, std::string& error);
