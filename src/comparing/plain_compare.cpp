// The plain comparison: each query column run's whole null distribution by
// dense convolution, every alignment's tail read off it, every pair kept.
#include <algorithm>
#include <cmath>

#include "compare_parts.h"

std::vector<std::vector<motif_match>> plain_compare_motifs(const std::vector<motif>& queries,
                                                           const std::vector<motif>& targets,
                                                           const compare_settings& settings) {
    const target_columns columns = columns_of_targets(targets);
    std::vector<std::vector<motif_match>> matches;
    query_similarities similarities;
    std::vector<alignment> aligned;
    for (const motif& query : queries) {
        similarities_of(query, columns, similarities);
        const std::size_t width = query.scores.size();
        // tails[from][to - 1][s - lowest sum]
        std::vector<std::vector<std::vector<double>>> tails(width, std::vector<std::vector<double>>(width));
        std::vector<std::vector<std::int64_t>> lowest(width, std::vector<std::int64_t>(width));
        for (std::size_t from = 0; from < width; ++from)
            for (std::size_t to = from + 1; to <= width; ++to) {
                std::int64_t bottom = 0;
                for (std::size_t c = from; c < to; ++c) bottom += similarities.nulls[c].lowest;
                lowest[from][to - 1] = bottom;
                tails[from][to - 1] = dense_log_tails(similarities.nulls, from, to, bottom);
            }
        std::vector<pair_result> pairs;
        for (std::size_t t = 0; t < targets.size(); ++t) {
            alignments_with(similarities, columns, t, settings.min_overlap, aligned);
            pair_result best{t, aligned[0], 0};
            bool first = true;
            for (const alignment& a : aligned) {
                const double log_tail = tails[a.from][a.to - 1][static_cast<std::size_t>(a.score - lowest[a.from][a.to - 1])];
                if (first || preferred(log_tail, a, best.log_p, best.best)) best = {t, a, log_tail};
                first = false;
            }
            best.log_p = log_corrected(best.log_p, static_cast<double>(aligned.size()));
            pairs.push_back(best);
        }
        matches.push_back(ranked_matches(std::move(pairs), targets.size(), settings.max_q));
    }
    return matches;
}
