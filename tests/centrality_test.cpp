// Centrality on generated windows: the engine's sites, the best of each
// window and the stretch counted in one sorted pass, against every window
// scored base by base, every stretch counted and every binomial term added.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "centrality.h"
#include "scanning.h"

namespace {

struct plain_best {
    bool found = false;
    std::int64_t start = 0, doubled = 0;
    bool minus = false;
    double score = 0;
};

double plain_log_tail(std::uint64_t k, std::uint64_t n, double p) {
    double sum = 0;
    for (std::uint64_t i = k; i <= n; ++i)
        sum += std::exp(std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) + i * std::log(p) +
                        (n - i) * std::log1p(-p));
    return std::log(sum);
}

TEST(Centrality, TheBestSitesAndStretchAreThoseOfEveryWindowScored) {
    const std::string consensus = "TGACTCAG";
    motif m;
    m.id = "m";
    for (const char b : consensus) {
        std::array<double, 4> column{-1.2, -0.8, -1.5, -0.9};
        column[std::string("ACGT").find(b)] = 1.1;
        m.scores.push_back(column);
    }
    const struct {
        const char* name;
        bool same_lengths;
        int spread;  // planted sites within this of the centre
        unsigned threads;
    } cases[] = {
        {"central, windows alike", true, 20, 1},
        {"central, windows of many lengths", false, 20, 2},
        {"spread uniformly", true, 1000, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937_64 random(7);
        std::vector<sequence_record> windows;
        std::string fasta;
        for (int i = 0; i < 300; ++i) {
            const std::size_t length = c.same_lengths ? 201 : 60 + random() % 300;
            std::string bases;
            for (std::size_t k = 0; k < length; ++k) bases += "ACGT"[random() % 4];
            if (i % 2 == 0) {
                const auto centre = static_cast<std::int64_t>(length / 2) + static_cast<std::int64_t>(random() % (2 * c.spread + 1)) - c.spread;
                const std::int64_t start = std::clamp<std::int64_t>(centre, 0, static_cast<std::int64_t>(length - consensus.size()));
                bases.replace(static_cast<std::size_t>(start), consensus.size(), consensus);
            }
            windows.push_back({std::to_string(i), bases});
            fasta += ">" + std::to_string(i) + "\n" + bases + "\n";
        }
        const threshold wanted{false, 1e-3};
        const std::vector<scan_matrix> matrices = {prepare_matrix(m, wanted)};
        const std::vector<best_site> best = best_sites(find_sites(record_batches(windows, consensus.size()), matrices, c.threads)[0],
                                                       windows, consensus.size());
        const centrality found = central_stretch(best, 10);

        std::vector<plain_best> plain(windows.size());
        for (const plain_site& s : plain_scan(fasta, matrices, scan_settings{})) {
            plain_best& b = plain[std::stoul(s.record)];
            const auto start = static_cast<std::int64_t>(s.found.start);
            const std::int64_t doubled = 2 * start + static_cast<std::int64_t>(consensus.size()) -
                                         static_cast<std::int64_t>(windows[std::stoul(s.record)].positions.size());
            const bool better = !b.found || s.found.score > b.score ||
                                (s.found.score == b.score && (std::abs(doubled) < std::abs(b.doubled) ||
                                                              (std::abs(doubled) == std::abs(b.doubled) &&
                                                               (start < b.start || (start == b.start && b.minus && !s.found.minus)))));
            if (better) b = {true, start, doubled, s.found.minus, s.found.score};
        }
        std::vector<std::size_t> with;
        for (std::size_t i = 0; i < plain.size(); ++i)
            if (plain[i].found) with.push_back(i);
        ASSERT_EQ(best.size(), with.size());
        for (std::size_t k = 0; k < with.size(); ++k) {
            EXPECT_EQ(best[k].window, with[k]);
            EXPECT_EQ(best[k].distance * 2, plain[with[k]].doubled);
        }
        double least = 2;
        std::uint64_t tried = 0, at = 0, inside_at = 0;
        double expected_at = 0;
        for (std::uint64_t h = 5;; h += 5) {
            ++tried;
            std::uint64_t inside = 0, widest = 0;
            double expected = 0;
            for (const std::size_t i : with) {
                inside += static_cast<std::uint64_t>(std::abs(plain[i].doubled)) <= 2 * h;
                const std::int64_t starts = static_cast<std::int64_t>(windows[i].positions.size() - consensus.size()) + 1;
                std::int64_t within = 0;
                for (std::int64_t s = 0; s < starts; ++s) within += std::abs(2 * s - (starts - 1)) <= static_cast<std::int64_t>(2 * h);
                expected += static_cast<double>(within) / static_cast<double>(starts);
                widest = std::max<std::uint64_t>(widest, static_cast<std::uint64_t>(starts));
            }
            const double log_p = plain_log_tail(inside, with.size(), expected / static_cast<double>(with.size()));
            if (log_p < least - 1e-12 * std::abs(least)) {
                least = log_p;
                at = h;
                inside_at = inside;
                expected_at = expected;
            }
            if (2 * h + 1 >= widest) break;
        }
        EXPECT_EQ(found.half_width, at);
        EXPECT_EQ(found.inside, inside_at);
        EXPECT_NEAR(found.expected, expected_at, 1e-9);
        const double corrected = std::min(0.0, least + std::log(static_cast<double>(tried)));
        EXPECT_NEAR(found.log_p, corrected, 1e-9 * std::max(1.0, std::abs(corrected)));
        EXPECT_NEAR(found.log_e, found.log_p + std::log(10.0), 1e-12);
        EXPECT_EQ(found.log_p < std::log(1e-10), c.spread < 100) << found.log_p;
    }
}

}  // namespace
