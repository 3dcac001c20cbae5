// The scanning engine: every window of DNA sequences that motifs score at or
// above a threshold, on both strands, with exact scores and p-values.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "motif.h"

// Widest motif scanned: the p-value grid and the filter tables grow with
// the width, and wider motifs are not motifs but genes.
inline constexpr std::size_t max_scan_width = 1000;

struct scan_kernels;

// Which windows are reported: those whose p-value is at most `value`, or
// (by_score) those whose score is at least `value`; p-values are chances
// over windows of independent bases of the background's frequencies.
struct threshold {
    bool by_score = false;
    double value = 1e-4;
    base_frequencies background = uniform_bases;
};

// The distribution of window scores over random bases of the background's
// frequencies, on a grid:
// each score rounded to a whole number of steps, and a window's grid score
// the sum of its scores' (an exact integer).
struct score_grid {
    double step = 0.001;
    std::vector<std::array<std::int64_t, 4>> cells;  // per position, each score in steps
    double rounding = 0;       // largest |score - step * grid score| of any window
    std::int64_t lowest = 0;   // grid score of tail[0]
    std::vector<double> tail;  // tail[x - lowest]: probability of a grid score >= x, up to the highest
    base_frequencies background = uniform_bases;
};

// The grid of a motif's scores (width at most max_scan_width), with the
// tail from grid score `from` (or the lowest, if that is higher) up to the
// highest. The step is 0.001, or coarser where the scores spread so widely
// that the distribution would need over 2^21 cells (or 10^8 / width): never
// for motifs of width up to 30 whose positions each spread less than 66.
// Only sums that can still reach `from` are followed: the tail is exactly
// the one of the whole distribution. Background frequencies are above 0.
score_grid build_score_grid(const std::vector<std::array<double, 4>>& scores, std::int64_t from = INT64_MIN,
                            const base_frequencies& background = uniform_bases);

// The lowest grid score whose tail can be within `p`, found on a coarse
// grid under the shape's background: every grid score below it has a tail
// above p.
std::int64_t lowest_cell_within(const score_grid& shape, double p);

// The filter's units from the best window down to the threshold, and the
// most a window may have: one more, for the rounding of doubles.
inline constexpr double units_to_threshold = 200;
inline constexpr std::uint8_t filter_limit = 201;

// The filter of one strand of a motif, in groups of 3 (or 2) consecutive
// window positions: per group, a table of 64 (or 16) entries indexed by the
// group's bases, 2 bits each, the first highest, each a lower bound on how
// far below the best bases of the group they lie, in units that put the
// threshold units_to_threshold below the best window. No position is in
// two groups, so a window whose entries add up to more than filter_limit
// cannot reach the threshold. Only the groups that filter best are looked
// up, the first `lookups`.
struct group_filter {
    struct alignas(64) table {
        std::array<std::uint8_t, 64> entry;
    };
    std::vector<table> tables;             // best filtering first
    std::vector<std::uint32_t> offsets;    // each group's first window position
    std::size_t lookups = 0;
};

struct strand_filter {
    group_filter triples, pairs;  // for the AVX-512 and portable loops, for the AVX2 ones
};

// A motif ready to scan with.
struct scan_matrix {
    std::string name;
    std::vector<std::array<double, 4>> scores;  // per position, per base
    std::size_t width = 0;
    threshold wanted;
    score_grid grid;
    std::int64_t min_cell = 0;  // by p-value: a window is reported iff its grid score is at least this
    bool hopeless = false;      // no window can reach the threshold
    // The exact check's grid steps in 32 bits, one small piece of memory
    // (windows are checked rarely, when the motif's data has long left the
    // cache): per position, each base's steps above the position's lowest,
    // and those lowest added up.
    std::vector<std::array<std::int32_t, 4>> steps;
    std::int64_t lowest_cells = 0;
    strand_filter forward, reverse;  // the reverse: the window's bases against the reverse complement
};

// The step of the p-value grid wherever the distribution fits.
inline constexpr double finest_step = 0.001;

// Scores beyond this are refused: no log-odds come near, and the grid of
// p-values could not count their steps.
inline constexpr double max_scan_score = 1e9;

// Prepares a motif for scanning (width 1 to max_scan_width, scores within
// +-max_scan_score), with the filter tables of the loops given, or of all.
scan_matrix prepare_matrix(const motif& m, const threshold& wanted, const scan_kernels* loops = nullptr);

// Prepares every motif, on `threads` threads.
std::vector<scan_matrix> prepare_matrices(const std::vector<motif>& motifs, const threshold& wanted, unsigned threads,
                                          const scan_kernels* loops);

// One warning line for `program`, if any matrix's p-value grid is coarser
// than finest_step, counting them and naming the first three.
void warn_coarse_grids(const char* program, const std::vector<scan_matrix>& matrices);

// The p-value of a window of grid score x (x at least grid.lowest).
inline double p_value(const score_grid& grid, std::int64_t x) {
    return grid.tail[static_cast<std::size_t>(x - grid.lowest)];
}

struct scan_settings {
    bool plus = true, minus = true;      // strands scanned
    unsigned threads = 1;
    const scan_kernels* kernels = nullptr;  // the filter's loops; the fastest this processor has if none
    std::size_t batch_bytes = 1 << 18;   // sequence handed to a thread at a time
    std::size_t read_bytes = 1 << 17;    // input read at a time
    // Where given and set, batches not yet scanned are skipped: a caller
    // that gave up (Ctrl-C in Python) is not kept waiting for the rest.
    const std::atomic<bool>* stop = nullptr;
};

// One reported window.
struct site {
    std::uint64_t start;  // in the record
    std::uint32_t piece;  // of the batch
    std::uint32_t matrix;
    bool minus;
    double score;
    std::int64_t cell;  // grid score: its p-value is p_value(grid, cell)
};

// Exact check of the window at `codes` (base codes 0-3) on one strand:
// whether it reaches the threshold, with its score and grid score.
bool check_window(const scan_matrix& matrix, const std::uint8_t* codes, bool minus, double& score, std::int64_t& cell);

// A site of the plain scan.
struct plain_site {
    std::string record;
    std::string window;  // the window's bytes as read
    site found;
};

// The plain scan, the reference for the fast path: a whole FASTA text in
// memory, one window at a time, every score summed. Sites in output order.
std::vector<plain_site> plain_scan(const std::string& fasta, const std::vector<scan_matrix>& matrices,
                                   const scan_settings& settings);
