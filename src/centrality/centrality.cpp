// Distances are kept doubled, whole numbers, so that half-base centres
// compare exactly.
#include "centrality.h"

#include <algorithm>
#include <cmath>

#include "statistics.h"

namespace {

// Doubled distance of a site starting at `start` from the centre of a
// window of `length`, for a motif `width` wide.
std::int64_t doubled_distance(std::int64_t start, std::int64_t width, std::int64_t length) {
    return 2 * start + width - length;
}

}  // namespace

std::vector<best_site> best_sites(const std::vector<record_site>& sites, const std::vector<sequence_record>& windows,
                                  std::size_t width) {
    const auto w = static_cast<std::int64_t>(width);
    std::vector<const record_site*> best(windows.size(), nullptr);
    const auto better = [&](const record_site& a, const record_site& b) {
        if (a.score != b.score) return a.score > b.score;
        const auto length = static_cast<std::int64_t>(windows[a.record].positions.size());
        const std::int64_t da = std::abs(doubled_distance(a.start, w, length)), db = std::abs(doubled_distance(b.start, w, length));
        if (da != db) return da < db;
        if (a.start != b.start) return a.start < b.start;
        return !a.minus && b.minus;
    };
    for (const record_site& s : sites)
        if (!best[s.record] || better(s, *best[s.record])) best[s.record] = &s;
    std::vector<best_site> out;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        if (!best[i]) continue;
        const auto length = static_cast<std::int64_t>(windows[i].positions.size());
        out.push_back({static_cast<std::uint32_t>(i), doubled_distance(best[i]->start, w, length) / 2.0,
                       static_cast<std::uint64_t>(length - w + 1)});
    }
    return out;
}

std::uint64_t starts_within(std::uint64_t starts, std::uint64_t half_width) {
    // Starts s = 0 .. S-1 lie at doubled distances 2s - (S - 1) from the
    // centre: those within are |2s - (S - 1)| <= 2h.
    const auto s = static_cast<std::int64_t>(starts), h = static_cast<std::int64_t>(half_width);
    const std::int64_t lowest = std::max<std::int64_t>(0, (s - 1 - 2 * h + 1) / 2);  // ceil((S - 1 - 2h) / 2), clamped
    const std::int64_t highest = std::min<std::int64_t>(s - 1, (s - 1 + 2 * h) / 2);
    return highest < lowest ? 0 : static_cast<std::uint64_t>(highest - lowest + 1);
}

centrality central_stretch(const std::vector<best_site>& best, std::uint64_t motifs_tested) {
    centrality c;
    c.sites = best.size();
    if (best.empty()) return c;
    // The best sites by doubled distance from the centre, nearest first,
    // to count those within each stretch in one pass.
    std::vector<std::uint64_t> away;
    std::uint64_t widest = 0;
    for (const best_site& b : best) {
        away.push_back(static_cast<std::uint64_t>(std::llround(std::abs(2 * b.distance))));
        widest = std::max(widest, b.starts);
    }
    std::sort(away.begin(), away.end());
    std::uint64_t tried = 0;
    double best_log_p = 1;
    std::size_t inside = 0;
    for (std::uint64_t h = stretch_step;; h += stretch_step) {
        ++tried;
        while (inside < away.size() && away[inside] <= 2 * h) ++inside;
        double expected = 0;
        for (const best_site& b : best) expected += static_cast<double>(starts_within(b.starts, h)) / static_cast<double>(b.starts);
        const double log_p = log_binomial_upper_tail(inside, best.size(), expected / static_cast<double>(best.size()));
        if (best_log_p > 0 || log_p < best_log_p) {
            best_log_p = log_p;
            c.half_width = h;
            c.inside = inside;
            c.expected = expected;
        }
        if (2 * h + 1 >= widest) break;
    }
    c.log_p = std::min(0.0, best_log_p + std::log(static_cast<double>(tried)));
    c.log_e = c.log_p + std::log(static_cast<double>(std::max<std::uint64_t>(1, motifs_tested)));
    return c;
}
