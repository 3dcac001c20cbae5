// A genome's GC content, base by base, held in one bit a base, for drawing
// random regions like given ones: the G and C bases of any region, and its
// bases that are not A, C, G or T, counted in a few steps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "genome.h"

struct genome_gc {
    // Chromosome c's bases are positions [starts[c], starts[c] + length) of
    // one concatenation, each starting on a 64-bit word.
    std::vector<std::int64_t> starts;
    std::vector<std::uint64_t> gc;  // a bit per position: G or C, either case
    // The runs of positions that are not A, C, G or T (either case), in
    // order, and the length of the runs before each.
    std::vector<std::int64_t> other_starts, other_ends, other_before;

    // How many of the positions [from, to) of the concatenation are G or C,
    // and how many are not A, C, G or T.
    std::int64_t gc_count(std::int64_t from, std::int64_t to) const;
    std::int64_t other_count(std::int64_t from, std::int64_t to) const;
};

// Reads the genome (opened as `genome`) through once: decompressed by
// htslib on `threads` threads where it is bgzip, its records read as FASTA.
// On failure returns false with `error` set to "PATH: reason".
bool read_genome_gc(const genome_file& genome, unsigned threads, genome_gc& gc, std::string& error);
