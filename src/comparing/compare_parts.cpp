#include <algorithm>
#include <cmath>

#include "compare_parts.h"
#include "logo.h"

std::array<double, 4> centred_unit(const std::array<double, 4>& frequencies) {
    const double mean = (frequencies[0] + frequencies[1] + frequencies[2] + frequencies[3]) / 4;
    std::array<double, 4> unit{};
    if (frequencies[0] == frequencies[1] && frequencies[1] == frequencies[2] && frequencies[2] == frequencies[3]) return unit;
    double norm = 0;
    for (int b = 0; b < 4; ++b) {
        unit[b] = frequencies[b] - mean;
        norm += unit[b] * unit[b];
    }
    norm = std::sqrt(norm);
    for (double& x : unit) x /= norm;
    return unit;
}

namespace {

// Thousandths, half away from zero: the whole part and the rest are exact,
// so no sum rounds a value just below a half up.
inline int thousandths(double r) {
    const double x = std::fabs(r) * 1000;
    int whole = static_cast<int>(x);
    whole += x - whole >= 0.5;
    whole = std::min(whole, 1000);
    return r < 0 ? -whole : whole;
}

// The rounded similarity of a column to each of n columns given base by base.
void similarities_to(const std::array<double, 4>& unit, const double* __restrict a, const double* __restrict c,
                     const double* __restrict g, const double* __restrict t, std::size_t n, std::int16_t* __restrict out) {
    const double ua = unit[0], uc = unit[1], ug = unit[2], ut = unit[3];
    for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<std::int16_t>(thousandths(ua * a[k] + uc * c[k] + ug * g[k] + ut * t[k]));
}

}  // namespace

int rounded_similarity(const std::array<double, 4>& a, const std::array<double, 4>& b) {
    return thousandths(a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]);
}

std::vector<std::array<double, 4>> reverse_complement(const std::vector<std::array<double, 4>>& scores) {
    std::vector<std::array<double, 4>> reversed(scores.rbegin(), scores.rend());
    for (auto& column : reversed) column = {column[3], column[2], column[1], column[0]};
    return reversed;
}

target_columns columns_of_targets(const std::vector<motif>& targets) {
    target_columns all;
    for (const motif& m : targets) {
        all.start.push_back(all.total);
        all.width.push_back(m.scores.size());
        for (const auto& column : m.scores) {
            const std::array<double, 4> unit = centred_unit(stack_of(column).probability);
            for (int b = 0; b < 4; ++b) all.base[b].push_back(unit[b]);
        }
        all.total += m.scores.size();
    }
    return all;
}

void similarities_of(const motif& query, const target_columns& targets, query_similarities& out) {
    const std::size_t width = query.scores.size(), total = targets.total;
    out.width = width;
    out.forward.resize(total * width);
    out.reverse.resize(total * width);
    out.nulls.assign(width, {});
    std::vector<std::uint32_t> counts(2001);
    for (std::size_t i = 0; i < width; ++i) {
        const std::array<double, 4> f = stack_of(query.scores[i]).probability;
        const std::array<double, 4> unit = centred_unit(f);
        // A column's similarity to a target column's complement is its
        // complement's to the target column.
        const std::array<double, 4> comp = centred_unit({f[3], f[2], f[1], f[0]});
        std::fill(counts.begin(), counts.end(), 0);
        const double *a = targets.base[0].data(), *c = targets.base[1].data(), *g = targets.base[2].data(),
                     *t = targets.base[3].data();
        // Similarities first, in a loop that vectorises; then counted.
        std::int16_t* forward = out.forward.data() + i * total;
        std::int16_t* reverse = out.reverse.data() + i * total;
        similarities_to(unit, a, c, g, t, total, forward);
        similarities_to(comp, a, c, g, t, total, reverse);
        for (std::size_t k = 0; k < total; ++k) {
            ++counts[static_cast<std::size_t>(forward[k] + 1000)];
            ++counts[static_cast<std::size_t>(reverse[k] + 1000)];
        }
        column_null& null = out.nulls[i];
        int lowest = 0, highest = 2000;
        while (counts[static_cast<std::size_t>(lowest)] == 0) ++lowest;
        while (counts[static_cast<std::size_t>(highest)] == 0) --highest;
        null.lowest = lowest - 1000;
        null.highest = highest - 1000;
        for (int v = lowest; v <= highest; ++v)
            null.probability.push_back(static_cast<double>(counts[static_cast<std::size_t>(v)]) / static_cast<double>(2 * total));
    }
}

void alignments_with(const query_similarities& query, const target_columns& targets, std::size_t t,
                     std::size_t min_overlap, std::vector<alignment>& out) {
    out.clear();
    const auto w = static_cast<std::int64_t>(query.width), wt = static_cast<std::int64_t>(targets.width[t]);
    const auto m = static_cast<std::int64_t>(std::min({min_overlap, query.width, targets.width[t]}));
    const std::size_t total = targets.total;
    const std::int16_t* forward = query.forward.data() + targets.start[t];
    const std::int16_t* reverse = query.reverse.data() + targets.start[t];
    for (const bool minus : {false, true}) {
        for (std::int64_t offset = -(w - m); offset <= wt - m; ++offset) {
            const std::int64_t from = std::max<std::int64_t>(0, -offset), to = std::min(w, wt - offset);
            std::int64_t score = 0;
            for (std::int64_t i = from; i < to; ++i) {
                // Query column i faces column i + offset of the target, or
                // of its reverse complement: the complement of the target's
                // column wt - 1 - (i + offset).
                score += minus ? reverse[i * total + (wt - 1 - i - offset)] : forward[i * total + (i + offset)];
            }
            out.push_back({offset, minus, static_cast<std::size_t>(from), static_cast<std::size_t>(to), score});
        }
    }
}

bool preferred(double log_a, const alignment& a, double log_b, const alignment& b) {
    if (log_a != log_b) return log_a < log_b;
    if (a.to - a.from != b.to - b.from) return a.to - a.from > b.to - b.from;
    if (a.minus != b.minus) return !a.minus;
    return a.offset < b.offset;
}

double log_corrected(double log_p, double tries) {
    // 1 - (1 - p)^A = A p (1 - (A - 1) p / 2 + ...): below 1e-300, A p.
    if (log_p < -690) return log_p + std::log(tries);
    return std::min(0.0, std::log(-std::expm1(tries * std::log1p(-std::exp(log_p)))));
}

std::vector<motif_match> ranked_matches(std::vector<pair_result> pairs, std::size_t targets, double max_q) {
    std::sort(pairs.begin(), pairs.end(), [](const pair_result& a, const pair_result& b) {
        return a.log_p != b.log_p ? a.log_p < b.log_p : a.target < b.target;
    });
    // Benjamini-Hochberg: p x n / rank, the least from each rank down. The
    // pairs left out have p above max_q, so they neither come before any
    // reported pair nor lower its q.
    const double log_n = std::log(static_cast<double>(targets));
    std::vector<double> log_q(pairs.size());
    double least = 0;
    for (std::size_t rank = pairs.size(); rank-- > 0;) {
        least = std::min(least, pairs[rank].log_p + log_n - std::log(static_cast<double>(rank + 1)));
        log_q[rank] = least;
    }
    std::vector<motif_match> matches;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (log_q[i] > std::log(max_q)) continue;
        const alignment& a = pairs[i].best;
        matches.push_back({pairs[i].target, a.offset, a.minus, a.to - a.from, pairs[i].log_p, pairs[i].log_p + log_n, log_q[i]});
    }
    return matches;
}
