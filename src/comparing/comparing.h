// Comparing motifs column by column: each query against every target, on
// both strands at every offset, scored by the correlation of the columns'
// base frequencies, with exact p-values under the null model of columns
// drawn from the targets.
//
// A column's frequencies are its logo's. Two columns' similarity is the
// Pearson correlation of their four frequencies (0 where either has all
// four equal), rounded to thousandths half away from zero: an integer from
// -1000 to 1000. An alignment faces the target, or its reverse complement,
// at an offset against the query with at least min(min_overlap, both
// widths) columns in common, and scores the sum of their similarities. Its
// p-value is the chance that independent draws, one for each query column
// in common, from that column's similarities to all the targets' columns
// (both orientations, each alike), sum to at least its score. A pair's
// p-value is its best alignment's (smallest p; then the larger overlap, +
// before -, the smaller offset), corrected for the A alignments tried:
// 1 - (1 - p)^A. E = p x targets; q-values are Benjamini-Hochberg's over
// the query's targets.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "motif.h"

struct compare_settings {
    std::size_t min_overlap = 5;
    // Pairs of larger q-values are not reported. Below 1, their p-values
    // need not be worked out exactly, only shown to be too large, which is
    // most of the work saved.
    double max_q = 0.5;
    unsigned threads = 1;
    // Where given and set, the queries not yet begun are left without
    // matches: the caller has given up.
    const std::atomic<bool>* stop = nullptr;
};

// A query's match with one target, at its best alignment.
struct motif_match {
    std::size_t target;    // in the targets' order
    std::int64_t offset;   // the target column (in the orientation of the match) facing the query's first
    bool minus;            // the target reverse complemented
    std::size_t overlap;   // columns in common
    double log_p, log_e, log_q;  // natural logs; p is corrected for the alignments tried
};

// The widest motif compared: the work grows with the cube of the width.
inline constexpr std::size_t max_compare_width = 100;

// For each query in order, its matches of q <= max_q by p (ties in the
// targets' order). Motifs are at most max_compare_width wide.
std::vector<std::vector<motif_match>> compare_motifs(const std::vector<motif>& queries, const std::vector<motif>& targets,
                                                     const compare_settings& settings);

// The same by the plain way, the reference for the fast one: every
// alignment's p-value from its whole null distribution, by dense
// convolution, no pair left out.
std::vector<std::vector<motif_match>> plain_compare_motifs(const std::vector<motif>& queries,
                                                           const std::vector<motif>& targets,
                                                           const compare_settings& settings);

// A column's frequencies centred and scaled to length 1 (all 0 where the
// four are equal): the dot product of two is their Pearson correlation.
std::array<double, 4> centred_unit(const std::array<double, 4>& frequencies);

// The rounded similarity of two centred unit columns, -1000 to 1000.
int rounded_similarity(const std::array<double, 4>& a, const std::array<double, 4>& b);

// The columns of a motif's reverse complement: positions reversed, A<->T, C<->G.
std::vector<std::array<double, 4>> reverse_complement(const std::vector<std::array<double, 4>>& scores);
