// Shared tables and the operations of motif_matrix: a motif file of aligned
// DNA binding sites in, a log-odds position weight matrix file out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bases.h"

// Longest sequence line held: 4,194,304 positions (128 MiB of counts).
// A longer line gets the motif file refused rather than exhaust memory.
inline constexpr std::size_t max_width = std::size_t{1} << 22;

// One row per motif position, one score per base in base order.
using score_rows = std::vector<std::array<float, 4>>;

// Working matrix: the scores of the motif built last, and its width.
extern score_rows c_o;
extern std::size_t y;

// Matrix slots: the matrix of the first, second and third motif of the dialogue.
extern score_rows m1, m2, m3;
extern std::size_t r1, r2, r3;

// Base counts of one motif file, gathered while its bytes stream past, so
// that memory follows the longest line and not the number of lines.
struct motif_counts {
    std::uint64_t n = 0;                 // sequence lines, empty ones included
    std::size_t width = 0;               // length of the last sequence line
    std::vector<std::uint64_t> counts;   // 4 cells per position, up to the longest line
    std::size_t line_length = 0;         // bytes so far of the line being read
    enum { line_start, header, sequence } where = line_start;
    bool too_long = false;               // a line passed max_width; counting stopped
};

// Counts a block of a motif file; blocks may split lines anywhere.
void count_bytes(motif_counts& motif, const char* data, std::size_t size);
// Ends the file: a last sequence line without a line feed still counts.
void count_end(motif_counts& motif);

// The same counts, gathered many bytes at a time: 8-bit counters per base
// and position take the lines as they pass and are added into motif.counts
// before they can overflow.
struct fast_motif_counts {
    motif_counts motif;
    std::vector<std::uint8_t> recent;  // one plane of positions per base
    std::size_t recent_width = 0;      // positions the planes may hold counts for
    unsigned recent_lines = 0;         // lines ended since the planes were emptied
};
void count_block(fast_motif_counts& fast, const char* data, std::size_t size);
void count_block_end(fast_motif_counts& fast);

// ln(((count + 0.25) / (n + 1)) / 0.25) in double precision, rounded to float.
float cal_log_odd_scores(std::uint64_t count, std::uint64_t n);
// Sets c_o and y to the scores of a counted motif.
void score_motif(const motif_counts& motif);

// Creates (or empties) a matrix file; returns its descriptor, or -1 after reporting.
int create_matrix_file(const std::string& name);
// Writes c_o to a file from create_matrix_file and closes it; reports any failure.
void write_matrix_file(int fd, const std::string& name);

// A regular file of at least two parts of this size is cut into parts at
// line starts and counted on all cores (up to 4): smaller parts are not
// worth a thread. Tests and fuzzers set it lower to reach the cutting.
inline constexpr std::int64_t default_part_size = std::int64_t{1} << 20;

// Counts the motif file open on `fd` from its start into `motif`. On failure
// (an input that cannot be positioned, a read error, an over-long line)
// reports it and returns false; the counts are then partial.
bool read_motif(int fd, const std::string& name, motif_counts& motif, std::int64_t part_size = default_part_size);

// Builds the matrix of the motif file `name` into c_o and y and writes it to
// `name` + ".matrix".
void matrix(const std::string& name);

// Copy the working matrix into slot 1, 2 or 3.
void log_score_m1();
void log_score_m2();
void log_score_m3();

// Runs the dialogue for n motifs (1, 2 or 3; any other n does nothing),
// reading names from std::cin and writing prompts to std::cout.
void create_n_matrices(int n);

// Writes "motif_matrix: WHAT 'FILE': REASON" to standard error and marks the run failed.
void report_failure(const char* what, const std::string& file, const char* reason);
extern bool run_failed;

// Flushes the prompts written so far. Standard output that cannot take them
// (full, closed) is reported once, with its reason, and fails the run; the
// dialogue goes on, so that the matrices are still built.
void check_prompts_shown();
