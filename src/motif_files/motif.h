// Motifs as the programs use them, and the one reader of the files that hold
// them: the matrix files motif_matrix writes, and the JASPAR, MEME, TRANSFAC
// and HOMER formats of the motif databases, plain or gzip-compressed.
#pragma once

#include <array>
#include <cmath>
#include <string>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The probabilities of A, C, G and T in sequence that holds no site: what
// scores are odds against and p-values are chances under.
using base_frequencies = std::array<double, 4>;
inline constexpr base_frequencies uniform_bases = {0.25, 0.25, 0.25, 0.25};

// Files print frequencies to a few digits: their sum may miss 1 by this
// much, and they are then scaled to add up to 1.
inline constexpr double file_frequency_tolerance = 0.01;

// Why `frequencies` are no background (each above 0, adding up to 1 within
// `tolerance`), or "" if they are one.
std::string frequencies_fault(const base_frequencies& frequencies, double tolerance);

// Reads a file of MEME's background format: a base and its frequency a
// line, blank lines and '#' comments; longer words' frequencies are read
// and left out, with `warning` set. On failure returns false with `error`
// "PATH: line N: reason".
bool read_background_file(const std::string& path, base_frequencies& frequencies, std::string& error,
                          std::string& warning);

enum class motif_format { matrix, jaspar, meme, transfac, homer };

// The names --format takes and --list prints, in motif_format order.
inline constexpr const char* format_names[] = {"matrix", "jaspar", "meme", "transfac", "homer"};

// The format of a name in format_names, or none.
std::optional<motif_format> format_named(const std::string& name);

// The values of the options --format NAME and --sites N, or a usage error.
motif_format format_of_option(const char* program, const char* value);
double sites_of_option(const char* program, const char* value);

struct motif {
    std::string id;                    // the identifier printed: unique within a run once loaded
    std::vector<std::string> names;    // as the file gives them (ID, NAME, ...): what --motif also matches
    motif_format format = motif_format::matrix;
    double sites = 0;                  // the site count the scores stand for; 0 where the file gave scores
    std::vector<std::array<double, 4>> scores;  // per position, per base in base order
    // The counts the scores come from (probabilities times `sites`), so that
    // they can be scored again against another background; empty where the
    // file gave scores.
    std::vector<std::array<double, 4>> counts;
    std::optional<base_frequencies> background; // the file's background line (MEME), where read
};

// How motif files are read.
struct motif_reading {
    std::optional<motif_format> format;  // forced; otherwise told from the content
    double sites = 20;                   // probabilities become counts for this many sites where the file gives none
    std::size_t max_width = 1000;        // wider motifs are refused
    double max_score = HUGE_VAL;         // a matrix file's scores beyond +-this are refused
    std::size_t block_bytes = 1 << 16;   // read at a time (tests set it lower)
    base_frequencies background = uniform_bases;  // what counts score against
    bool file_background = false;        // read MEME's background line, refusing a malformed one
};

// Appends every motif of the file at `path` to `into`, identified as its
// format names it (not yet made unique). On failure returns false with
// `error` set to "PATH: reason" or "PATH: line N: reason"; `into` may then
// hold some of the file's motifs. A file read with a doubt (motifs of
// another format in what a MEME file passes over) sets `warning`, if given,
// to "PATH: line N: reason", else leaves it empty.
bool read_motif_file(const std::string& path, const motif_reading& how, std::vector<motif>& into, std::string& error,
                     std::string* warning = nullptr);

// The same for a file already open on `fd` (left open), named `path`.
bool read_motif_fd(int fd, const std::string& path, const motif_reading& how, std::vector<motif>& into,
                   std::string& error, std::string* warning = nullptr);

// Score of a base at a position from counts: the log-odds of its frequency,
// with the base's background frequency as pseudocount, against that
// frequency, ln(((count + bg) / (total + 1)) / bg), total the position's
// count of all bases; over the uniform background, the rule motif_matrix
// uses. A position without counts scores 0 for every base.
std::array<double, 4> scores_from_counts(const std::array<double, 4>& counts,
                                         const base_frequencies& background = uniform_bases);

// Makes the identifiers of `all` unique: a repeated one gets the first
// free "#2", "#3", ... in their order. Returns the identifiers as they were.
std::vector<std::string> make_identifiers_unique(std::vector<motif>& all);

// Reads every file in `paths` in order for `program` into `all` (a file's
// warning one line on standard error), makes
// identifiers unique (a repeated one gets "#2", "#3", ... in load order),
// and lists in `picked` the motifs whose identifier, pre-suffix identifier
// or one of whose names is in `wanted` (all of them if it is empty).
// Reports a failure, or a wanted name that no motif has, as one line and
// returns false.
bool load_motif_set(const char* program, const std::vector<std::string>& paths, const motif_reading& how,
                    const std::vector<std::string>& wanted, std::vector<motif>& all, std::vector<std::size_t>& picked);

// The same, keeping only the motifs picked.
bool load_motifs(const char* program, const std::vector<std::string>& paths, const motif_reading& how,
                 const std::vector<std::string>& wanted, std::vector<motif>& motifs);
