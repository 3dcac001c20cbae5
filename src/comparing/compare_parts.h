// What the fast and the plain comparison share: the targets' columns, a
// query's similarities to them and its null model, the alignments of a
// pair, and the ranking of a query's matches. Internal to the comparison.
#pragma once

#include <cstdint>
#include <vector>

#include "comparing.h"
#include "null_tails.h"

// Every target column, centred and of length 1, one array per base so that
// a query column's similarities to them are computed four at a time.
struct target_columns {
    std::array<std::vector<double>, 4> base;
    std::vector<std::size_t> start, width;  // each target's first column, and its width
    std::size_t total = 0;
};

target_columns columns_of_targets(const std::vector<motif>& targets);

// A query's rounded similarities to every target column, the column's
// forward[i * columns + c] and its complement's reverse[i * columns + c] for
// query column i, and each query column's null distribution.
struct query_similarities {
    std::size_t width = 0;
    std::vector<std::int16_t> forward, reverse;
    std::vector<column_null> nulls;
};

void similarities_of(const motif& query, const target_columns& targets, query_similarities& out);

struct alignment {
    std::int64_t offset;
    bool minus;
    std::size_t from, to;  // the query columns in common
    std::int64_t score;
};

// Every alignment of the query with target t (replacing `out`'s content).
void alignments_with(const query_similarities& query, const target_columns& targets, std::size_t t,
                     std::size_t min_overlap, std::vector<alignment>& out);

// Whether alignment a of tail log_a is preferred to b of tail log_b: the
// smaller p, then the larger overlap, + before -, the smaller offset.
bool preferred(double log_a, const alignment& a, double log_b, const alignment& b);

// log(1 - (1 - p)^tries) from log p, without cancellation.
double log_corrected(double log_p, double tries);

// A target's best alignment and its corrected p-value.
struct pair_result {
    std::size_t target;
    alignment best;
    double log_p;
};

// The matches of q <= max_q by p, ties in target order, from the pairs
// whose p-values are known: every pair whose p-value is at most max_q must
// be among them (the others may be left out), of `targets` in all.
std::vector<motif_match> ranked_matches(std::vector<pair_result> pairs, std::size_t targets, double max_q);
