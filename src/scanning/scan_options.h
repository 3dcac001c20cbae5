// What the scanning programs are told alike: motifs, threshold, strands and
// threads, through getopt_long.
#pragma once

#include <getopt.h>

#include <string>
#include <vector>

#include "motif.h"
#include "scanning.h"

// --bg as given: frequencies (uniform unless given), a background file, the
// first MEME file's line, or the base counts of the sequences the run scans,
// which the program counts into `frequencies` before reading the motifs.
struct background_choice {
    base_frequencies frequencies = uniform_bases;
    std::string file;
    bool of_motifs = false, counted = false;
};

// Takes the value of --bg into `choice` (a usage error if it is none of the
// forms); `motif` is a form only where `of_motifs` says motifs are read.
void take_background_option(const char* program, const char* value, bool of_motifs, background_choice& choice);

// The frequencies chosen, a background file read (its warning printed);
// reports a failure in one line and returns false.
bool chosen_background(const char* program, const background_choice& choice, base_frequencies& frequencies);

// The frequencies as the outputs say them: "A 0.3 C 0.2 G 0.2 T 0.3".
std::string background_text(const base_frequencies& frequencies);

struct scan_options {
    scan_options() { settings.threads = 0; }  // all cores, unless -j says
    std::vector<std::string> motif_files, motif_names;
    motif_reading reading;
    threshold wanted;
    scan_settings settings;
    bool p_given = false, score_given = false;
    background_choice background;
};

// The options' letters for getopt_long, and their help lines.
inline constexpr const char* scan_short_options = "m:p:s:j:h";
extern const char* const scan_options_help;

// The long options every scanning program takes, with the `more` of its
// own (their values above scan_long_option_base) and the closing entry.
std::vector<option> scan_long_options(const std::vector<option>& more);
inline constexpr int scan_long_option_base = 2000;

// Takes option `c` with its value if it is one of the common ones (usage
// errors end the program); returns false for any other. `usage` is printed
// for -h, PROGRAM VERSION for --version.
bool take_scan_option(const char* program, const char* usage, int c, const char* value, scan_options& options);

// -m and --motif, which may be given several times.
bool repeatable_scan_option(int c);

// After the options: motifs given, -p and -s not both, the threads.
void check_scan_options(const char* program, scan_options& options);

// The background of the strands scanned, from that of the given strand:
// on the reverse strand every base is the complement's, and over both the
// two are averaged (reverse windows are scored as the forward ones, so
// their p-values must come from the same frequencies).
base_frequencies background_of_strands(const base_frequencies& given, const scan_settings& strands);

// Reads, checks and prepares the motifs on all threads, scores and p-values
// under the background of --bg on the strands scanned; reports a failure in
// one line and returns false.
bool load_scan_motifs(const char* program, const scan_options& options, std::vector<motif>& motifs,
                      std::vector<scan_matrix>& matrices);

// One warning line for the motifs that no window can reach at the
// threshold: a single one named with the best it can do, several counted
// and the first few named.
void warn_unreachable(const char* program, const std::vector<scan_matrix>& matrices, const threshold& wanted);
