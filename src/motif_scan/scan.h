// motif_scan: every site in DNA sequences that a log-odds matrix scores at or
// above a threshold, on both strands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "motif.h"

// Widest matrix scanned: the p-value grid and the per-column filter tables
// grow with the width, and wider motifs are not matrices but genes.
inline constexpr std::size_t max_scan_width = 1000;

// Which windows are reported: those whose p-value is at most `value`, or
// (by_score) those whose score is at least `value`.
struct threshold {
    bool by_score = false;
    double value = 1e-4;
};

// The distribution of window scores over uniformly random bases, on a grid:
// each matrix entry rounded to a whole number of steps, and a window's grid
// score the sum of its entries' (an exact integer).
struct score_grid {
    double step = 0.001;
    std::vector<std::array<std::int64_t, 4>> cells;  // per position, each entry in steps
    double rounding = 0;       // largest |score - step * grid score| of any window
    std::int64_t lowest = 0;   // grid score of tail[0]
    std::vector<double> tail;  // tail[x - lowest]: probability of a grid score >= x, up to the highest
};

// The grid of a matrix (width at most max_scan_width), with the tail from
// the lowest grid score up. The step is 0.001, or coarser where the scores
// spread so widely that the distribution would need over 2^21 cells (or
// 10^8 / width): never for matrices of width up to 30 whose columns each
// spread less than 66.
score_grid build_score_grid(const std::vector<std::array<double, 4>>& scores);

// A matrix ready to scan with.
struct scan_matrix {
    std::string name;
    std::vector<std::array<double, 4>> scores;  // per position, per base
    std::size_t width = 0;
    threshold wanted;
    score_grid grid;
    std::int64_t min_cell = 0;  // by p-value: a window is reported iff its grid score is at least this
    bool hopeless = false;      // no window can reach the threshold
    // The filter: per position, for base codes 0-4 (and up to 15), a lower
    // bound on how far below the position's best score the entry lies, in
    // units that put the threshold 200 units below the best window. A window
    // whose units add up to more than filter_limit cannot reach the threshold.
    std::vector<std::array<std::uint8_t, 16>> forward_deficits, reverse_deficits;
};

// The filter's units from the best window down to the threshold, and the
// most a window may have: one more, for the rounding of doubles.
inline constexpr double units_to_threshold = 200;
inline constexpr std::uint8_t filter_limit = 201;

// Prepares a motif for scanning (width 1 to max_scan_width).
scan_matrix prepare_matrix(const motif& file, const threshold& wanted);

// The p-value of a window of grid score x (x at least grid.lowest).
inline double p_value(const score_grid& grid, std::int64_t x) {
    return grid.tail[static_cast<std::size_t>(x - grid.lowest)];
}

struct scan_settings {
    bool plus = true, minus = true;      // strands scanned
    unsigned threads = 1;
    bool vector = true;                  // use the vector paths where the processor has them
    std::size_t batch_bytes = 1 << 20;   // sequence handed to a thread at a time
    std::size_t read_bytes = 1 << 20;    // input read at a time
    int output_fd = 1;                   // where the sites are written
};

// One reported window.
struct site {
    std::uint64_t start;  // in the record
    std::uint32_t matrix;
    bool minus;
    double score;
    double p;
};

// Base codes (0-3 for A, C, G, T in either case, 4 for any other byte) of n bytes.
void encode_bases(const char* bytes, std::size_t n, std::uint8_t* codes, bool vector);

// Extra code bytes (of value 4) the filter may read past the last window's end.
inline constexpr std::size_t code_padding = 64;

// For the windows starting at codes[0, count), sets bit i % 32 of masks[i / 32]
// (forward strand) and bit 32 + i % 32 (reverse strand) if the window may
// reach the threshold on that strand; others are clear. `codes` holds
// count + width - 1 codes and code_padding more.
void filter_windows(const scan_matrix& matrix, const std::uint8_t* codes, std::size_t count, std::uint64_t* masks,
                    bool vector);

// Whether filter_windows and encode_bases have a vector path on this processor.
bool vector_paths_available();

// Exact check of the window at `codes` on one strand: appends it to `found`
// if it reaches the threshold.
void check_window(const scan_matrix& matrix, std::uint32_t index, const std::uint8_t* codes, std::uint64_t start,
                  bool minus, std::vector<site>& found);

// Appends the output line of a site: name, start, end, matrix, score,
// strand, p-value and the window's bytes (`window`, as read).
void append_site(std::string& out, const std::string& record, const site& s, const scan_matrix& matrix,
                 const char* window);

// The plain scan, the reference for the fast path: a whole FASTA text in
// memory, one window at a time, every entry summed. Returns the output.
std::string plain_scan(const std::string& fasta, const std::vector<scan_matrix>& matrices,
                       const scan_settings& settings);
