// The search for motifs over-represented in target sequences against
// controls: enriched words as seeds, each refined as a count matrix to the
// records holding a site, the best judged on records held out of the search,
// its sites masked before the next.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "motif.h"
#include "scan_input.h"

struct discover_settings {
    std::size_t min_width = 8, max_width = 15;  // from 3 to max_discover_width
    std::size_t motifs = 10;                    // found at most
    double evalue = 0.05;                       // a motif judged above this ends the search
    std::uint64_t seed = 1;                     // picks the records held out, and seeds the null searches
    unsigned threads = 1;
    std::size_t shuffle_kmer = 3;               // k-mers the null searches' controls keep of their targets
    // Searches of shuffled targets that calibrate the p-values where none
    // are held out; 0 leaves them uncalibrated (and optimistic).
    std::size_t null_searches = 50;
    // What the matrices' counts score against and their sites' p-values
    // are chances under: that of both strands, as written (background_as_written).
    base_frequencies background = uniform_bases;
    // Where given and set, the search ends at its next round of refinement
    // with what it has: the caller has given up.
    const std::atomic<bool>* stop = nullptr;
};

// Fewer null searches than this are too few to fit a distribution to.
inline constexpr std::size_t least_null_searches = 10, max_null_searches = 1000;

inline constexpr std::size_t max_discover_width = 30;

// A motif found, as written, and how it was judged.
struct found_motif {
    std::vector<std::array<double, 4>> probabilities;  // per position, as written (six decimals)
    std::uint64_t sites = 0;                           // target records whose sites it was counted from
    double site_p = 1;                                 // its sites: windows of p-value at most this
    std::vector<std::array<double, 4>> scores;         // as a reader of the written motif computes them
    // Records with a site: held out (or, where none are, all) and all.
    std::uint64_t held_targets_with = 0, held_targets = 0, held_controls_with = 0, held_controls = 0;
    std::uint64_t targets_with = 0, targets = 0, controls_with = 0, controls = 0;
    // Fisher's test on the records judged on, or where none are held out its
    // p-value among the null searches' best; E = p x motifs tried.
    double log_p = 0, log_e = 0;
};

// The records of a search: targets and controls, and for each control the
// target it was shuffled from (or -1 for controls of their own).
struct search_records {
    std::vector<sequence_record> targets, controls;
    std::vector<std::int64_t> source;
};

// The records of targets and controls a search can use: those of at least
// `min_width` positions, each control's source the kept target it was
// shuffled from (`control_target`: per control, or empty where the controls
// are their own). Counts the records too short in `short_targets` and
// `short_controls`.
search_records records_for_search(std::vector<sequence_record> targets, std::vector<sequence_record> controls,
                                  const std::vector<std::size_t>& control_target, std::size_t min_width,
                                  std::size_t& short_targets, std::size_t& short_controls);

struct discovery {
    std::vector<found_motif> motifs;  // those of E-value at most the limit, best first
    bool held_out = false;            // judged on held-out records (else on all)
    std::size_t null_searches = 0;    // that calibrated the p-values, where none were held out
    std::vector<bool> target_held_out, control_held_out;
};

// Targets of at least this many records have a tenth held out.
inline constexpr std::size_t least_to_hold_out = 100;

// Which records are held out: a tenth of the targets, picked by the seed, and
// the controls shuffled from them (or, for controls of their own, a tenth of
// them); none where the targets are fewer than least_to_hold_out.
void pick_held_out(const search_records& records, std::uint64_t seed, std::vector<bool>& targets, std::vector<bool>& controls);

// Finds the motifs. `found` is called with each motif as it is judged.
// Where none are held out, each motif's p-value is that of its score among
// the best of settings.null_searches searches of the targets shuffled.
discovery discover_motifs(const search_records& records, const discover_settings& settings,
                          const std::function<void(const found_motif&, std::size_t rank)>& found);

// The scores a reader of the motif as written computes: each probability
// as printed with six decimals, times the site count, scored as counts
// against the background as written.
std::vector<std::array<double, 4>> scores_as_written(const std::vector<std::array<double, 4>>& probabilities,
                                                     std::uint64_t sites, const base_frequencies& background);
