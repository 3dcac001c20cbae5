// Comparing motifs: the tails of the null model by transforms against the
// dense convolution, the dense convolution against every draw counted, the
// coarse bounds around the exact tails, the fast comparison against the
// plain one on generated motifs, both against the definition worked out
// here from scratch, and the correction for the alignments tried down to
// tails below the range of doubles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "comparing.h"
#include "fft.h"
#include "fft_passes.h"
#include "null_tails.h"

namespace {

// A column's null: `spread` + 1 values from `lowest`, of random weights
// (some zero), or a single value.
column_null random_null(std::mt19937_64& random, int spread) {
    column_null c;
    c.lowest = -1000 + static_cast<int>(random() % static_cast<unsigned>(2001 - spread));
    c.highest = c.lowest + spread;
    double total = 0;
    for (int v = 0; v <= spread; ++v) {
        const double w = random() % 4 == 0 ? 0 : static_cast<double>(1 + random() % 1000);
        c.probability.push_back(w);
        total += w;
    }
    c.probability.front() += c.probability.front() == 0;  // the ends have counts
    c.probability.back() += c.probability.back() == 0;
    total = 0;
    for (const double w : c.probability) total += w;
    for (double& w : c.probability) w /= total;
    return c;
}

// log P(S >= s) for every s, each draw combination counted: tiny columns only.
std::map<std::int64_t, long double> enumerated_tails(const std::vector<column_null>& columns, std::size_t from, std::size_t to) {
    std::map<std::int64_t, long double> exact = {{0, 1.0L}};
    for (std::size_t c = from; c < to; ++c) {
        std::map<std::int64_t, long double> next;
        for (const auto& [sum, p] : exact)
            for (std::size_t j = 0; j < columns[c].probability.size(); ++j)
                next[sum + columns[c].lowest + static_cast<std::int64_t>(j)] += p * columns[c].probability[j];
        exact.swap(next);
    }
    long double above = 0;
    std::map<std::int64_t, long double> tails;
    for (auto it = exact.rbegin(); it != exact.rend(); ++it) tails[it->first] = above += it->second;
    return tails;
}

TEST(CompareTails, DenseConvolutionCountsEveryDraw) {
    std::mt19937_64 random(5);
    for (int round = 0; round < 40; ++round) {
        std::vector<column_null> columns;
        for (int c = 0; c < 4; ++c) columns.push_back(random_null(random, static_cast<int>(random() % 6)));
        const std::size_t from = random() % 4, to = from + 1 + random() % (4 - from);
        const auto exact = enumerated_tails(columns, from, to);
        const std::int64_t least = exact.begin()->first - 2;
        const std::vector<double> tails = dense_log_tails(columns, from, to, least);
        ASSERT_EQ(tails.size(), static_cast<std::size_t>(exact.rbegin()->first - least + 1));
        for (std::int64_t s = least; s <= exact.rbegin()->first; ++s) {
            const auto at = exact.lower_bound(s);
            ASSERT_NEAR(tails[static_cast<std::size_t>(s - least)], std::log(static_cast<double>(at->second)), 1e-12)
                << "round " << round << ", score " << s;
        }
    }
}

// The transforms, each way to the tails (dense near the top, tilts below,
// a retry or the dense way where the estimate fails), against the dense
// convolution; and the coarse bounds on either side.
TEST(CompareTails, TransformsAndBoundsAgreeWithTheDenseConvolution) {
    std::mt19937_64 random(9);
    for (int round = 0; round < 30; ++round) {
        const std::size_t width = 1 + random() % 9;
        std::vector<column_null> columns;
        for (std::size_t c = 0; c < width; ++c)
            columns.push_back(random_null(random, random() % 6 == 0 ? 0 : static_cast<int>(random() % (round % 3 == 0 ? 2000 : 700))));
        std::vector<tail_request> requests;
        for (int r = 0; r < 40; ++r) {
            const std::size_t from = random() % width, to = from + 1 + random() % (width - from);
            std::int64_t top = 0, bottom = 0;
            for (std::size_t c = from; c < to; ++c) {
                top += columns[c].highest;
                bottom += columns[c].lowest;
            }
            // Anywhere from below the lowest sum to past the highest, most near the top.
            const std::int64_t span = top - bottom + 10;
            const std::int64_t s = r % 4 == 0 ? bottom - 5 + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(span))
                                             : top + 2 - static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(std::min<std::int64_t>(span, 3000)));
            requests.push_back({from, to, s});
        }
        exact_log_tails(columns, requests);
        const coarse_bounds bounds(columns, 32);
        for (const tail_request& r : requests) {
            std::int64_t top = 0;
            for (std::size_t c = r.from; c < r.to; ++c) top += columns[c].highest;
            const std::vector<double> dense = dense_log_tails(columns, r.from, r.to, r.score);
            const double expected = r.score > top ? -INFINITY : dense[0];
            if (std::isinf(expected)) {
                ASSERT_EQ(r.log_tail, expected);
            } else {
                ASSERT_NEAR(r.log_tail, expected, 1e-9 * std::max(1.0, std::fabs(expected)))
                    << "round " << round << ", columns " << r.from << "-" << r.to << ", score " << r.score;
            }
            double low, high;
            bounds.bounds(r.from, r.to, r.score, low, high);
            ASSERT_LE(low, expected + 1e-12) << r.score;
            ASSERT_GE(high, expected - 1e-12) << r.score;
        }
    }
}

// Convolution by transforms of every length and instruction set: the
// spectra's order and the halved lengths that share them included.
TEST(CompareTails, TransformsConvolveOnEveryInstructionSet) {
    std::mt19937_64 random(2);
    std::vector<const fft_passes*> sets = {&portable_fft_passes()};
    for (const fft_passes* p : {avx2_fft_passes(), avx512_fft_passes()})
        if (p) sets.push_back(p);
    for (const fft_passes* passes : sets) {
        for (std::size_t n = 4; n <= 4096; n *= 2) {
            std::vector<double> a(n, 0), b(n, 0), direct(n, 0);
            for (std::size_t i = 0; i < n / 2; ++i) {
                a[i] = static_cast<double>(random() % 100);
                b[i] = static_cast<double>(random() % 100);
            }
            for (std::size_t i = 0; i < n / 2; ++i)
                for (std::size_t j = 0; j < n / 2; ++j) direct[i + j] += a[i] * b[j];
            const real_fft fft(n, passes), twice(2 * n, passes);
            spectrum fa, fb, wide;
            fft.forward(a.data(), fa);
            fft.forward(b.data(), fb);
            // The transform of length n is the first n/2 slots and the last
            // of that of length 2n.
            std::vector<double> padded(a);
            padded.resize(2 * n, 0);
            twice.forward(padded.data(), wide);
            for (std::size_t r = 0; r <= n / 2; ++r) {
                const std::size_t w = r == n / 2 ? n : r;
                ASSERT_NEAR(wide.re[w], fa.re[r], 1e-9 * n) << passes->name << " " << n << " slot " << r;
                ASSERT_NEAR(wide.im[w], fa.im[r], 1e-9 * n) << passes->name << " " << n << " slot " << r;
            }
            passes->multiply(fa.re.data(), fa.im.data(), fb.re.data(), fb.im.data(), n / 2);
            const double a_last = fa.re[n / 2], b_last = fa.im[n / 2];
            fa.re[n / 2] = a_last * fb.re[n / 2] - b_last * fb.im[n / 2];
            fa.im[n / 2] = a_last * fb.im[n / 2] + b_last * fb.re[n / 2];
            std::vector<double> back(n);
            fft.inverse(fa, back.data());
            for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(back[i], direct[i], 1e-9 * n * 1e4) << passes->name << " " << n << " at " << i;
        }
    }
}

// Motifs of counts: random columns, some sharp, some flat, some of four
// equal counts; slices and reverse complements of others; a duplicate.
std::vector<motif> generated_motifs(std::mt19937_64& random, std::size_t count) {
    std::vector<motif> motifs;
    for (std::size_t m = 0; m < count; ++m) {
        motif one;
        one.id = "m" + std::to_string(m);
        if (m >= 4 && m % 5 == 0) {
            one.scores = motifs[m - 3].scores;  // a duplicate
        } else if (m >= 4 && m % 5 == 1) {
            one.scores = reverse_complement(motifs[m - 2].scores);
        } else if (m >= 4 && m % 5 == 2 && motifs[m - 1].scores.size() > 3) {
            const auto& source = motifs[m - 1].scores;
            one.scores.assign(source.begin() + 1, source.end() - 1);
        } else {
            const std::size_t width = 1 + random() % 10;
            for (std::size_t p = 0; p < width; ++p) {
                std::array<double, 4> counts;
                const int kind = static_cast<int>(random() % 5);
                for (int b = 0; b < 4; ++b)
                    counts[b] = kind == 0 ? 5 : kind == 1 ? static_cast<double>(random() % 30) : static_cast<double>(random() % 3);
                if (kind >= 2) counts[random() % 4] += 20;
                one.scores.push_back(scores_from_counts(counts));
            }
        }
        motifs.push_back(one);
    }
    return motifs;
}

// The same pairs, alignments and p-values; but p-values equal by the
// definition and worked out along other ways may differ in their last bits
// (also between builds), and so be chosen or ordered either way.
void expect_same_matches(const std::vector<std::vector<motif_match>>& fast,
                         const std::vector<std::vector<motif_match>>& plain, const std::string& what) {
    const auto same = [](double a, double b) { return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(b)); };
    ASSERT_EQ(fast.size(), plain.size());
    for (std::size_t q = 0; q < fast.size(); ++q) {
        SCOPED_TRACE(what + ", query " + std::to_string(q));
        ASSERT_EQ(fast[q].size(), plain[q].size());
        for (std::size_t i = 0; i < fast[q].size(); ++i) {
            const motif_match &a = fast[q][i], &b = plain[q][i];
            EXPECT_NEAR(a.log_p, b.log_p, 1e-9 * std::max(1.0, std::fabs(b.log_p)));
            EXPECT_NEAR(a.log_q, b.log_q, 1e-9 * std::max(1.0, std::fabs(b.log_q)));
            EXPECT_NEAR(a.log_e, b.log_e, 1e-9 * std::max(1.0, std::fabs(b.log_e)));
            if (a.target != b.target) {
                EXPECT_TRUE(same(a.log_p, b.log_p)) << "rank " << i;
            }
            for (const motif_match& c : plain[q]) {
                if (c.target != a.target || (a.offset == c.offset && a.minus == c.minus && a.overlap == c.overlap)) continue;
                EXPECT_TRUE(same(a.log_p, c.log_p)) << "target " << a.target << ": offset " << a.offset << " against "
                                                    << c.offset;
            }
        }
    }
}

TEST(Compare, FastEqualsPlainOnGeneratedMotifs) {
    std::mt19937_64 random(31);
    for (int round = 0; round < 3; ++round) {
        const std::vector<motif> targets = generated_motifs(random, 12 + random() % 20);
        const std::vector<motif> queries(targets.begin(), targets.begin() + 6);
        for (const double max_q : {0.01, 0.3, 1.0}) {
            for (const std::size_t overlap : {1, 5}) {
                compare_settings settings;
                settings.max_q = max_q;
                settings.min_overlap = overlap;
                settings.threads = 1 + round % 3;
                const auto fast = compare_motifs(queries, targets, settings);
                const auto plain = plain_compare_motifs(queries, targets, settings);
                expect_same_matches(fast, plain, "round " + std::to_string(round) + ", max_q " + std::to_string(max_q) +
                                                     ", overlap " + std::to_string(overlap));
            }
        }
    }
}

// The comparison as its definition reads, worked out here without the
// library's parts: Pearson's formula, every null draw counted, every
// alignment tried, the textbook Benjamini-Hochberg.
struct defined_match {
    std::size_t target;
    long offset;
    bool minus;
    std::size_t overlap;
    long double p, q;
    std::map<std::pair<long, bool>, long double> tails;  // of every alignment, uncorrected
    long double best;                                    // the least of them
};

std::vector<defined_match> by_definition(const motif& query, const std::vector<motif>& targets, std::size_t min_overlap) {
    const auto frequencies = [](const std::array<double, 4>& scores) {
        std::array<long double, 4> f;
        long double total = 0;
        for (int b = 0; b < 4; ++b) total += f[b] = 0.25L * std::exp(static_cast<long double>(scores[b]));
        for (long double& x : f) x /= total;
        return f;
    };
    const auto similarity = [](const std::array<long double, 4>& x, const std::array<long double, 4>& y) {
        if ((x[0] == x[1] && x[1] == x[2] && x[2] == x[3]) || (y[0] == y[1] && y[1] == y[2] && y[2] == y[3])) return 0L;
        const long double mx = (x[0] + x[1] + x[2] + x[3]) / 4, my = (y[0] + y[1] + y[2] + y[3]) / 4;
        long double sxy = 0, sxx = 0, syy = 0;
        for (int b = 0; b < 4; ++b) {
            sxy += (x[b] - mx) * (y[b] - my);
            sxx += (x[b] - mx) * (x[b] - mx);
            syy += (y[b] - my) * (y[b] - my);
        }
        return static_cast<long>(std::round(1000 * sxy / std::sqrt(sxx * syy)));
    };
    std::vector<std::array<long double, 4>> q;
    for (const auto& column : query.scores) q.push_back(frequencies(column));
    std::vector<std::vector<std::array<long double, 4>>> forward, backward;
    for (const motif& t : targets) {
        forward.emplace_back();
        backward.emplace_back();
        for (const auto& column : t.scores) forward.back().push_back(frequencies(column));
        for (const auto& column : reverse_complement(t.scores)) backward.back().push_back(frequencies(column));
    }
    // Each query column's null: its similarity to every column of every target, both ways.
    std::vector<std::map<long, long double>> null(q.size());
    long double columns = 0;
    for (std::size_t t = 0; t < targets.size(); ++t) columns += 2 * forward[t].size();
    for (std::size_t i = 0; i < q.size(); ++i)
        for (std::size_t t = 0; t < targets.size(); ++t)
            for (const auto* side : {&forward[t], &backward[t]})
                for (const auto& column : *side) null[i][similarity(q[i], column)] += 1 / columns;
    const auto tail = [&](std::size_t from, std::size_t to, long score) {
        std::map<long, long double> sums = {{0, 1.0L}};
        for (std::size_t i = from; i < to; ++i) {
            std::map<long, long double> next;
            for (const auto& [s, p] : sums)
                for (const auto& [v, pv] : null[i]) next[s + v] += p * pv;
            sums.swap(next);
        }
        long double above = 0;
        for (const auto& [s, p] : sums)
            if (s >= score) above += p;
        return above;
    };
    std::vector<defined_match> matches;
    for (std::size_t t = 0; t < targets.size(); ++t) {
        const long w = static_cast<long>(q.size()), wt = static_cast<long>(forward[t].size());
        const long m = std::min<long>({static_cast<long>(min_overlap), w, wt});
        defined_match best{t, 0, false, 0, 2, 0, {}, 0};
        std::map<std::pair<long, bool>, long double> tails;
        long tries = 0;
        for (const bool minus : {false, true})
            for (long offset = -w; offset <= wt; ++offset) {
                long score = 0, overlap = 0;
                for (long i = 0; i < w; ++i)
                    if (i + offset >= 0 && i + offset < wt) {
                        score += similarity(q[i], (minus ? backward : forward)[t][i + offset]);
                        ++overlap;
                    }
                if (overlap < m) continue;
                ++tries;
                const long double p = tail(static_cast<std::size_t>(std::max(0L, -offset)), static_cast<std::size_t>(std::max(0L, -offset) + overlap), score);
                tails[{offset, minus}] = p;
                const bool better = p < best.p || (p == best.p && (static_cast<std::size_t>(overlap) > best.overlap ||
                                                                   (static_cast<std::size_t>(overlap) == best.overlap &&
                                                                    (!minus && best.minus))));
                if (better) best = {t, offset, minus, static_cast<std::size_t>(overlap), p, 0, {}, 0};
            }
        best.best = best.p;
        best.tails = std::move(tails);
        best.p = 1 - std::pow(1 - best.p, static_cast<long double>(tries));
        matches.push_back(best);
    }
    std::stable_sort(matches.begin(), matches.end(), [](const defined_match& a, const defined_match& b) { return a.p < b.p; });
    long double least = 1;
    for (std::size_t rank = matches.size(); rank-- > 0;) {
        least = std::min(least, matches[rank].p * static_cast<long double>(matches.size()) / static_cast<long double>(rank + 1));
        matches[rank].q = least;
    }
    return matches;
}

TEST(Compare, EveryPairAsTheDefinitionReads) {
    std::mt19937_64 random(77);
    for (int round = 0; round < 6; ++round) {
        std::vector<motif> targets = generated_motifs(random, 6);
        for (motif& m : targets)
            if (m.scores.size() > 4) m.scores.resize(4);  // every draw counted: keep the nulls small
        const std::size_t overlap = 1 + random() % 4;
        compare_settings settings;
        settings.max_q = 1;
        settings.min_overlap = overlap;
        const auto fast = compare_motifs({targets[0], targets[3]}, targets, settings);
        for (std::size_t k = 0; k < 2; ++k) {
            const auto expected = by_definition(targets[k * 3], targets, overlap);
            ASSERT_EQ(fast[k].size(), expected.size());
            // Equal p-values, of alignments or of targets, worked out in
            // long double here and in double there may be told apart
            // either way by their last bits.
            const auto tie = [](long double a, long double b) { return std::fabs(a - b) <= 1e-12L * b; };
            for (std::size_t i = 0; i < expected.size(); ++i) {
                SCOPED_TRACE("round " + std::to_string(round) + ", query " + std::to_string(k) + ", rank " + std::to_string(i));
                const motif_match& got = fast[k][i];
                EXPECT_NEAR(std::exp(got.log_p), static_cast<double>(expected[i].p), 1e-9 * static_cast<double>(expected[i].p) + 1e-15);
                EXPECT_NEAR(std::exp(got.log_q), static_cast<double>(expected[i].q), 1e-9 * static_cast<double>(expected[i].q) + 1e-15);
                const defined_match& own = *std::find_if(expected.begin(), expected.end(), [&](const defined_match& e) { return e.target == got.target; });
                EXPECT_TRUE(got.target == expected[i].target || tie(own.p, expected[i].p));
                if (got.offset != own.offset || got.minus != own.minus) {
                    EXPECT_EQ(got.overlap, own.overlap);
                    EXPECT_TRUE(tie(own.tails.at({static_cast<long>(got.offset), got.minus}), own.best))
                        << "offset " << got.offset << " for " << own.offset;
                } else {
                    EXPECT_EQ(got.overlap, own.overlap);
                }
            }
        }
    }
}

// Motifs of equal counts: every similarity 0, every p-value 1, so the tie
// rule alone picks the alignment: the larger overlap, + before -, the
// smaller offset.
TEST(Compare, TiesGoToTheLargerOverlapThenPlusThenTheSmallerOffset) {
    const auto flat = [](std::size_t width) {
        motif m;
        m.scores.assign(width, scores_from_counts({5, 5, 5, 5}));
        return m;
    };
    const struct {
        std::size_t query, target, overlap;
        std::int64_t offset;
    } cases[] = {{3, 5, 3, 0}, {5, 3, 3, -2}, {4, 4, 4, 0}, {1, 6, 1, 0}, {7, 2, 2, -5}};
    for (const auto& c : cases) {
        compare_settings settings;
        settings.max_q = 1;
        settings.min_overlap = 1;
        const auto matches = compare_motifs({flat(c.query)}, {flat(c.target)}, settings);
        ASSERT_EQ(matches[0].size(), 1u);
        EXPECT_EQ(matches[0][0].overlap, c.overlap) << c.query << " " << c.target;
        EXPECT_EQ(matches[0][0].offset, c.offset) << c.query << " " << c.target;
        EXPECT_FALSE(matches[0][0].minus) << c.query << " " << c.target;
        EXPECT_EQ(matches[0][0].log_p, 0) << c.query << " " << c.target;
    }
}

// A motif against itself among long motifs: its best alignment (itself,
// whole) has the same tail whatever the least overlap, but the overlap sets
// how many alignments were tried, and the p-value is corrected for them:
// 1 - (1 - p)^A, which is A p once p is tiny, down to tails far below the
// range of doubles.
TEST(Compare, TheCorrectionForAlignmentsTriedHoldsInTheDeepestTails) {
    std::mt19937_64 random(100);
    const auto long_motif = [&](std::size_t width) {
        motif m;
        for (std::size_t p = 0; p < width; ++p) {
            std::array<double, 4> counts;
            for (double& c : counts) c = static_cast<double>(1 + random() % 60);
            m.scores.push_back(scores_from_counts(counts));
        }
        return m;
    };
    for (const std::size_t width : {20, 100}) {
        SCOPED_TRACE("width " + std::to_string(width));
        std::vector<motif> database = {long_motif(width)};
        for (int m = 0; m < 9; ++m) database.push_back(long_motif(100 - m));
        compare_settings settings;
        settings.min_overlap = width;  // the two whole alignments only
        const double whole = compare_motifs({database[0]}, database, settings)[0][0].log_p;
        for (const std::size_t overlap : {1, 30}) {
            settings.min_overlap = std::min(overlap, width);
            const motif_match self = compare_motifs({database[0]}, database, settings)[0][0];
            ASSERT_EQ(self.target, 0u);
            EXPECT_EQ(self.offset, 0);
            const double tries = 2.0 * static_cast<double>(2 * width - 2 * settings.min_overlap + 1);
            EXPECT_NEAR(self.log_p - whole, std::log(tries / 2), 1e-6) << "overlap " << overlap << ", log p " << whole;
        }
        if (width == 100) {
            EXPECT_LT(whole, -690);  // the tails the correction is worked out apart for
        }
    }
}

TEST(Compare, SimilaritiesRoundHalfAwayFromZero) {
    const std::array<double, 4> unit = {1, 0, 0, 0};
    const struct {
        double dot;
        int expected;
    } cases[] = {{0.0625, 63},   {-0.0625, -63},  {0.1875, 188}, {-0.1875, -188},   {0.06249, 62},
                 {0.5, 500},     {1.0000000001, 1000}, {-1.0000000001, -1000}, {0, 0}, {0.0004999, 0}};
    for (const auto& c : cases) EXPECT_EQ(rounded_similarity({c.dot, 0, 0, 0}, unit), c.expected) << c.dot;
    // Equal frequencies have no direction: similarity 0 to anything.
    EXPECT_EQ(centred_unit({0.25, 0.25, 0.25, 0.25}), (std::array<double, 4>{0, 0, 0, 0}));
    const std::array<double, 4> a = centred_unit({0.7, 0.1, 0.1, 0.1});
    EXPECT_EQ(rounded_similarity(a, a), 1000);
    EXPECT_EQ(rounded_similarity(a, centred_unit({0.1, 0.7, 0.1, 0.1})), -333);
}

}  // namespace
