// Controls drawn from the genome: random regions of the same length and GC
// content as each target, as HOMER draws its background, reproducible from
// a seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gc_content.h"
#include "regions.h"

// The GC bin of a stretch of `gc` G or C bases of `bases` A, C, G or T:
// bins [0, 0.05), [0.05, 0.10), ..., [0.95, 1] of (G + C) / (A + C + G + T),
// numbered 0 to 19; -1 for no base at all.
int gc_bin(std::int64_t gc, std::int64_t bases);

struct genomic_control {
    genome_region region;
    std::size_t target;  // whose length and GC bin it has
};

// For each target, `per_target` regions of its length and GC bin, at most a
// quarter of their positions anything but A, C, G or T, overlapping no
// target, drawn uniformly among such places. Copy k of target i is drawn
// from its own seed (from `seed`, i and k), so the controls are the same for
// any number of threads; they come in the order of targets, then copies. A
// draw that finds no such place in `tries` is left out and counted in
// `undrawn` (as are all of a target without bases).
std::vector<genomic_control> gc_matched_controls(const genome_file& genome, const genome_gc& gc,
                                                 const std::vector<genome_region>& targets, std::uint64_t per_target,
                                                 std::uint64_t seed, unsigned threads, std::size_t& undrawn,
                                                 std::uint64_t tries = 100000);
