// The fast comparison. Most pairs of motifs are unrelated, and for them no
// exact p-value is needed: coarse bounds on every alignment's tail show
// that their q-values are above the limit. For the rest, the bounds also
// show which alignments can be the best one, and only their tails are
// worked out exactly, all of a query's at once.
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "compare_parts.h"
#include "parallel_for.h"

namespace {

// The coarse bounds' step: each sum of L columns is known within L x step,
// against columns' similarities that spread over up to 2,000.
constexpr int coarse_step = 32;

// What a thread keeps from query to query.
struct query_scratch {
    query_similarities similarities;
    std::vector<alignment> aligned;
    std::vector<double> low, high;
    std::vector<std::size_t> first;
};

std::vector<motif_match> compare_query(const motif& query, const target_columns& targets, const compare_settings& settings,
                                       query_scratch& scratch) {
    query_similarities& similarities = scratch.similarities;
    similarities_of(query, targets, similarities);
    const coarse_bounds bounds(similarities.nulls, coarse_step);
    const std::size_t count = targets.start.size();
    const bool all = settings.max_q >= 1;
    const double log_max_q = std::log(settings.max_q);

    // Every alignment's bounds, and each target's least corrected lower bound.
    std::vector<alignment>& aligned = scratch.aligned;
    std::vector<double>& low = scratch.low;
    std::vector<double>& high = scratch.high;
    std::vector<std::size_t>& first = scratch.first;  // each target's first alignment
    aligned.clear();
    low.clear();
    high.clear();
    first.assign(count + 1, 0);
    std::vector<double> least_low(count, 0), least_high(count, 0);
    std::vector<alignment> pair;
    for (std::size_t t = 0; t < count; ++t) {
        alignments_with(similarities, targets, t, settings.min_overlap, pair);
        first[t] = aligned.size();
        for (const alignment& a : pair) {
            double lower, upper;
            bounds.bounds(a.from, a.to, a.score, lower, upper);
            aligned.push_back(a);
            low.push_back(lower);
            high.push_back(upper);
            least_low[t] = std::min(least_low[t], lower);
            least_high[t] = std::min(least_high[t], upper);
        }
        least_low[t] = log_corrected(least_low[t], static_cast<double>(pair.size()));
    }
    first[count] = aligned.size();
    // Benjamini-Hochberg reports the k smallest p-values, k the largest
    // rank whose p is at most max_q x k / n. The lower bounds' own such rank
    // is at least k, so a pair whose lower bound is above max_q x that / n
    // is never reported, nor is any reported q-value taken from it.
    double log_cut = 0;
    if (!all) {
        std::vector<double> sorted = least_low;
        std::sort(sorted.begin(), sorted.end());
        std::size_t rank = 0;
        for (std::size_t j = sorted.size(); j > 0; --j)
            if (sorted[j - 1] <= log_max_q + std::log(static_cast<double>(j) / static_cast<double>(count))) {
                rank = j;
                break;
            }
        log_cut = log_max_q + std::log(static_cast<double>(rank) / static_cast<double>(count));
    }

    struct candidate {
        std::size_t target, request;
        alignment a;
    };
    std::vector<candidate> candidates;
    std::vector<tail_request> requests;
    std::map<std::tuple<std::size_t, std::size_t, std::int64_t>, std::size_t> asked;
    for (std::size_t t = 0; t < count; ++t) {
        if (!all && least_low[t] > log_cut) continue;
        // The best alignment's tail is at most least_high: only alignments
        // that can be that low are candidates.
        for (std::size_t i = first[t]; i < first[t + 1]; ++i) {
            if (low[i] > least_high[t]) continue;
            const alignment& a = aligned[i];
            auto [at, added] = asked.emplace(std::make_tuple(a.from, a.to, a.score), requests.size());
            if (added) requests.push_back({a.from, a.to, a.score});
            candidates.push_back({t, at->second, a});
        }
    }
    exact_log_tails(similarities.nulls, requests);

    std::vector<pair_result> pairs;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const candidate& c = candidates[i];
        const double log_tail = requests[c.request].log_tail;
        if (pairs.empty() || pairs.back().target != c.target) {
            pairs.push_back({c.target, c.a, log_tail});
        } else if (preferred(log_tail, c.a, pairs.back().log_p, pairs.back().best)) {
            pairs.back().best = c.a;
            pairs.back().log_p = log_tail;
        }
    }
    for (pair_result& p : pairs) p.log_p = log_corrected(p.log_p, static_cast<double>(first[p.target + 1] - first[p.target]));
    return ranked_matches(std::move(pairs), count, settings.max_q);
}

}  // namespace

std::vector<std::vector<motif_match>> compare_motifs(const std::vector<motif>& queries, const std::vector<motif>& targets,
                                                     const compare_settings& settings) {
    const target_columns columns = columns_of_targets(targets);
    std::vector<std::vector<motif_match>> matches(queries.size());
    parallel_for(queries.size(), settings.threads, [&](std::size_t q) {
        thread_local query_scratch scratch;
        if (settings.stop && settings.stop->load(std::memory_order_relaxed)) return;
        matches[q] = compare_query(queries[q], columns, settings, scratch);
    });
    return matches;
}
