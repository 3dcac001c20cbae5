// The fast scan, with each set of loops the processor has, against the
// plain one on generated FASTA; each set's filter against its definition;
// p-values against brute force, and the grid's pruned tail against the
// whole one; the base counts of --bg auto against counting byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "base_counts.h"
#include "helpers.h"
#include "kernels.h"
#include "output.h"
#include "scan_paths.h"
#include "scanning.h"

namespace {

using namespace std::string_literals;

// Random FASTA: records of any length (empty ones too) with headers that
// have descriptions after a blank or tab, lines of any length ending in LF
// or CR LF, blanks and tabs inside lines, soft-masked stretches, runs of N,
// IUPAC codes and odd bytes, planted copies of a consensus so that sites
// are found, and sometimes no final line feed.
std::string random_fasta(std::mt19937_64& random, const std::string& consensus) {
    static const std::string odd("NnRYKMSWBDHVryk-*.\x01\x7f\x80\xff", 22);
    std::string text;
    if (random() % 4 == 0) text += random() % 2 ? "\n\n" : " \t\r\n";  // empty lines before the first record
    const int records = static_cast<int>(random() % 6);
    for (int r = 0; r < records; ++r) {
        text += random() % 8 == 0 ? ">" : ">rec" + std::to_string(r);  // some without a name
        switch (random() % 4) {
        case 0: text += " some description"; break;
        case 1: text += "\tdescription>with odd\x01 bytes"; break;
        case 2: text += "\r"; break;
        default: break;
        }
        text += '\n';
        const std::size_t length = random() % 5 == 0 ? 0 : random() % 3000;
        std::string positions;
        bool lower = false;
        while (positions.size() < length) {
            const auto roll = random() % 1000;
            if (roll < 8) {
                positions += std::string(1 + random() % 40, 'N');
            } else if (roll < 20) {
                lower = !lower;
            } else if (roll < 40) {
                std::string site = consensus;
                if (random() % 2) {  // the reverse complement
                    std::reverse(site.begin(), site.end());
                    for (char& c : site) c = "TGCA"["ACGT"s.find(c)];
                }
                positions += site;
            } else if (roll < 45) {
                positions += odd[random() % odd.size()];
            } else {
                char base = "ACGT"[random() % 4];
                positions += lower ? static_cast<char>(base + 32) : base;
            }
        }
        positions.resize(length);
        const std::size_t line = random() % 3 == 0 ? length + 1 : 1 + random() % 120;
        const std::string end = random() % 4 == 0 ? "\r\n" : "\n";
        for (std::size_t at = 0; at < length; at += line) {
            std::string piece = positions.substr(at, line);
            if (random() % 20 == 0) piece.insert(random() % (piece.size() + 1), random() % 2 ? " " : "\t");
            text += piece + end;
            if (random() % 50 == 0) text += end;  // an empty line inside a record
        }
    }
    if (!text.empty() && random() % 4 == 0) text.pop_back();  // no final line feed
    return text;
}

motif random_matrix(std::mt19937_64& random, std::size_t width, const std::string& consensus) {
    std::normal_distribution<double> score(-0.5, 1.0);
    motif file;
    file.id = "m" + std::to_string(width);
    for (std::size_t p = 0; p < width; ++p) {
        std::array<double, 4> column;
        for (double& s : column) s = score(random);
        // Favour the consensus base, as a matrix built from sites does.
        if (p < consensus.size()) column["ACGT"s.find(consensus[p])] = 1.2;
        file.scores.push_back(column);
    }
    return file;
}

std::string random_bases(std::mt19937_64& random, std::size_t length) {
    std::string bases;
    for (std::size_t i = 0; i < length; ++i) bases += "ACGT"[random() % 4];
    return bases;
}

// A motif of the kind given: random scores favouring a consensus, all four
// scores equal at every position, or some positions without counts (0).
motif special_matrix(std::mt19937_64& random, std::size_t width, const std::string& consensus, int kind) {
    motif m = random_matrix(random, width, consensus);
    for (std::size_t p = 0; p < width; ++p) {
        if (kind == 1) m.scores[p] = {-0.3, -0.3, -0.3, -0.3};
        if (kind == 2 && random() % 3 == 0) m.scores[p] = {0, 0, 0, 0};
    }
    return m;
}

// Built with ThreadSanitizer, the one-thread runs repeat what every other
// build checks, some thirty times slower.
#ifdef __SANITIZE_THREAD__
constexpr bool threads_only = true;
#else
constexpr bool threads_only = false;
#endif

TEST(Scan, EveryPathAgreesWithThePlainScanOnGeneratedFasta) {
    const std::vector<const scan_kernels*> kernels = available_kernels();
    std::mt19937_64 random(8122026);
    int sites = 0;
    // A sanitizer's build sees rounds of every threshold, strand and widest motif too.
    const int rounds = sized(36, 12);
    for (int round = 0; round < rounds; ++round) {
        const std::string consensus = random_bases(random, 12);
        // Many motifs of widths 1 to 40, and in some rounds one as wide as
        // any that is scanned, mostly wider than the records.
        std::vector<std::size_t> widths;
        for (int k = 0; k < 10; ++k) widths.push_back(1 + random() % (k < 3 ? 6 : 40));
        if (round % 6 == 0) widths.push_back(round % 12 == 0 ? max_scan_width : 100 + random() % 900);
        threshold wanted;
        switch (round % 6) {
        case 0: wanted = {false, 1e-3}; break;
        case 1: wanted = {false, 0.2}; break;
        case 2: wanted = {true, 4.0}; break;
        case 3: wanted = {true, -1e9}; break;   // below the worst window: every window of bases
        case 4: wanted = {false, 1e-5}; break;  // above the best of the short motifs
        default: wanted = {true, 1e9}; break;   // above the best of every motif
        }
        std::vector<scan_matrix> matrices;
        for (const std::size_t w : widths)
            matrices.push_back(prepare_matrix(special_matrix(random, w, consensus, static_cast<int>(random() % 5)), wanted));
        const std::string fasta = random_fasta(random, consensus);

        scan_settings plain_settings;
        plain_settings.plus = round % 7 != 1;
        plain_settings.minus = round % 7 != 2;
        const std::string expected = plain_text(fasta, matrices, plain_settings);
        sites += static_cast<int>(std::count(expected.begin(), expected.end(), '\n'));
        // Batches and read blocks from one byte to the whole text, split
        // anywhere: within lines, headers and windows.
        // Threads on batches of every size, and on one-byte batches, would
        // only test the machine's patience: 2 and 3 of them scan batches of
        // a random size.
        const std::size_t sizes[][2] = {{1, 1}, {7, 3}, {64, 17}, {1 << 20, 1 << 20}, {1 + random() % 5000, 1 + random() % 5000}};
        for (const auto& size : sizes) {
            for (const scan_kernels* k : kernels) {
                for (const unsigned threads : {1u, 2u, 3u}) {
                    if (threads > 1 && &size != &sizes[4]) continue;
                    if (threads == 1 && threads_only) continue;
                    scan_settings settings = plain_settings;
                    settings.batch_bytes = size[0];
                    settings.read_bytes = size[1];
                    settings.threads = threads;
                    settings.kernels = k;
                    SCOPED_TRACE("round " + std::to_string(round) + ", batches of " + std::to_string(size[0]) +
                                 ", blocks of " + std::to_string(size[1]) + ", " + std::to_string(threads) +
                                 " threads, " + k->name);
                    ASSERT_TRUE(fast_scan(fasta, matrices, settings) == expected);
                }
            }
        }
    }
    EXPECT_GT(sites, rounds * 1400);  // the comparison saw plenty of sites
}

// Thresholds that most windows pass, with many motifs: the sites a thread
// holds at once stay far below one chunk's (300,000 and more), and come out
// as the plain scan's.
TEST(Scan, SitesHeldAtOnceStayBoundedWhateverTheThreshold) {
    std::mt19937_64 random(515);
    const std::string bases = random_bases(random, 2000);
    const std::tuple<std::size_t, std::size_t, threshold> cases[] = {
        {300, 2, {false, 1}}, {200, 1, {true, -1e9}}, {500, 3, {false, 0.3}}};
    for (const auto& [motifs, width, wanted] : cases) {
        std::vector<scan_matrix> matrices;
        for (std::size_t k = 0; k < motifs; ++k)
            matrices.push_back(prepare_matrix(random_matrix(random, width, ""), wanted));
        const sequence_batch batch{{bases.begin(), bases.end()}, bases.size(), {{"r", 0, 0, 0, bases.size(), false}}};
        scan_scratch scratch;
        std::string out, written;
        const auto report = [&](const sequence_batch& b, const site& s, std::string& text) {
            append_site(text, b, s, matrices[s.matrix]);
        };
        scan_batch(batch, matrices, {}, scratch, report, out, [&](std::string& text) { written += text, text.clear(); });
        EXPECT_LE(scratch.found.capacity() + scratch.merged.capacity(), std::size_t{1} << 18) << motifs;
        ASSERT_TRUE(written + out == plain_text(">r\n" + bases + "\n", matrices, {})) << motifs;
    }
}

// Each set of loops: the codes it prepares and the windows its filter lets
// through, against their definitions one window at a time; and no window
// that reaches the threshold is ever held back.
TEST(Scan, EachKernelMatchesItsDefinitionWindowByWindow) {
    std::mt19937_64 random(42);
    for (const scan_kernels* k : available_kernels()) {
        for (int round = 0; round < sized(150, 48); ++round) {
            SCOPED_TRACE(std::string(k->name) + ", round " + std::to_string(round));
            const std::size_t width = 1 + random() % 60;
            const threshold wanted = round % 3 == 0 ? threshold{true, -1 - static_cast<double>(random() % 8)}
                                                    : threshold{false, std::pow(10.0, -static_cast<double>(random() % 8))};
            const scan_matrix m = prepare_matrix(special_matrix(random, width, random_bases(random, width), round % 4), wanted);
            const std::size_t blocks = 1 + random() % 8, n = 64 * (blocks + 2);
            std::vector<std::uint8_t> codes(n + code_padding, 4);
            for (std::size_t i = 0; i < n; ++i) codes[i] = random() % 40 == 0 ? 4 : random() % 4;
            std::vector<std::uint8_t> grouped(n + code_padding);
            std::vector<std::uint64_t> bad(n / 64), masks(blocks);
            std::vector<passed_block> passed(blocks);
            k->prepare(codes.data(), n, grouped.data(), bad.data());
            for (std::size_t i = 0; i < n; ++i) {
                const unsigned a = codes[i] & 3, b = codes[i + 1] & 3, c = codes[i + 2] & 3;
                ASSERT_EQ(grouped[i], k->pairs ? a << 2 | b : a << 4 | b << 2 | c) << i;
                ASSERT_EQ(bad[i / 64] >> (i % 64) & 1, codes[i] == 4) << i;
            }
            for (const bool minus : {false, true}) {
                const strand_filter& f = minus ? m.reverse : m.forward;
                std::fill(masks.begin(), masks.end(), 0);
                const std::size_t count = k->filter(f, grouped.data(), blocks, passed.data());
                for (std::size_t p = 0; p < count; ++p) {
                    ASSERT_TRUE(passed[p].mask != 0 && passed[p].block < blocks && (p == 0 || passed[p].block > passed[p - 1].block));
                    masks[passed[p].block] = passed[p].mask;
                }
                for (std::size_t i = 0; i < 64 * blocks; ++i) {
                    const bool passes = masks[i / 64] >> (i % 64) & 1;
                    ASSERT_EQ(passes, window_units(f, k->pairs, grouped.data() + i) <= filter_limit) << i;
                    const bool bases_only = std::all_of(codes.begin() + i, codes.begin() + i + width, [](auto c) { return c < 4; });
                    double score;
                    std::int64_t cell;
                    if (bases_only && !m.hopeless && check_window(m, codes.data() + i, minus, score, cell)) {
                        ASSERT_TRUE(passes) << "a window that reaches the threshold is held back at " << i;
                    }
                }
            }
        }
        const std::string bytes = "AcgTNn-x" + std::string(300, 'G') + "acgtACGTryN\x80\xff\x01";
        std::vector<std::uint8_t> fast(bytes.size()), portable(bytes.size());
        k->encode(bytes.data(), bytes.size(), fast.data());
        portable_kernels().encode(bytes.data(), bytes.size(), portable.data());
        EXPECT_EQ(fast, portable);
    }
}

// --bg auto's counts, tallied four bytes at a time, against one by one:
// every byte value, stretches of every length around the unrolling.
TEST(Scan, BaseCountsAgreeWithCountingEachByte) {
    std::mt19937_64 random(11);
    for (std::size_t size = 0; size < 600; size += 1 + size / 8) {
        std::string bytes(size, '\0');
        for (char& b : bytes) b = random() % 3 ? "ACGTacgtN"[random() % 9] : static_cast<char>(random());
        base_counts counts;
        counts.add(bytes.data(), bytes.size());
        counts.add(bytes.data(), size / 3);
        std::array<std::uint64_t, 256> expected{};
        for (const unsigned char b : bytes) ++expected[b];
        for (std::size_t i = 0; i < size / 3; ++i) ++expected[static_cast<unsigned char>(bytes[i])];
        ASSERT_EQ(counts.tally, expected) << size;
    }
}

// Printing a number through std::to_chars gives what printf's %g gives.
TEST(Scan, NumbersPrintAsPrintfPrintsThem) {
    std::mt19937_64 random(9);
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, 1e-300, 4.9e-324, 1e300, 123456.5, 999999.5, 9.9995e-5,
                                  0.00099995, 13.0613, 5.96e-08, 1.0 / 3, 2.0 / 3, 1e-5, 100000, 1000000, 0.0001};
    for (int k = 0; k < 100000; ++k) {
        std::uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) values.push_back(value);
        values.push_back(std::ldexp(static_cast<double>(random() % 2000000) - 1000000, -static_cast<int>(random() % 40)));
    }
    // Rounding ties and near-ties, exactly representable: d.dd5 x 2^-k.
    for (int k = 0; k < 20000; ++k) {
        const double tie = (static_cast<double>(random() % 100000) * 10 + 5) / 1e4;
        values.push_back(std::ldexp(std::nearbyint(std::ldexp(tie, 30)), -30));
        values.push_back(std::nextafter(values.back(), 0.0));
        values.push_back(static_cast<double>(random() % 2000001) / 8 - 125000);
    }
    for (const double v : values) {
        for (const int precision : {3, 6}) {
            char expected[64], got[64];
            std::snprintf(expected, sizeof expected, "%.*g", precision, v);
            *format_general(got, v, precision) = '\0';
            ASSERT_STREQ(got, expected) << v;
        }
    }
}

// p-values against all 4^width windows, each of its chance under the
// background: a window's grid p-value lies between the true tail just above
// and just below its score, by the grid's rounding.
TEST(PValue, AgreesWithBruteForceWithinTheGridsRounding) {
    std::mt19937_64 random(7);
    const base_frequencies backgrounds[] = {uniform_bases, {0.4, 0.1, 0.1, 0.4}, {0.01, 0.33, 0.33, 0.33},
                                            {0.303, 0.183, 0.209, 0.305}};
    for (const base_frequencies& background : backgrounds) {
        for (const std::size_t width : {1, 2, 5, 6, 8, 12}) {
            if (width == 12 && background != uniform_bases) continue;
            for (int round = 0; round < (width == 12 ? 1 : 4); ++round) {
                const motif file = random_matrix(random, width, "");
                const scan_matrix m = prepare_matrix(file, {true, -1e9, background});
                EXPECT_DOUBLE_EQ(m.grid.step, 0.001);
                // Each cell is its score rounded to the nearest step, and the
                // grid's rounding the sum of each position's largest error: the
                // brute-force bounds below are only as tight as that.
                double rounding = 0;
                for (std::size_t p = 0; p < width; ++p) {
                    double worst = 0;
                    for (int b = 0; b < 4; ++b) {
                        const double error = std::fabs(file.scores[p][b] - m.grid.step * static_cast<double>(m.grid.cells[p][b]));
                        ASSERT_LE(error, m.grid.step / 2 * (1 + 1e-9)) << "position " << p << ", base " << b;
                        worst = std::max(worst, error);
                    }
                    rounding += worst;
                }
                EXPECT_NEAR(m.grid.rounding, rounding, 1e-12);
                const std::size_t windows = std::size_t{1} << (2 * width);
                std::vector<double> scores(windows);
                std::vector<std::pair<double, double>> sorted(windows);  // score, chance
                for (std::size_t w = 0; w < windows; ++w) {
                    double chance = 1;
                    for (std::size_t p = 0; p < width; ++p) {
                        scores[w] += file.scores[p][(w >> (2 * p)) & 3];
                        chance *= background[(w >> (2 * p)) & 3];
                    }
                    sorted[w] = {scores[w], chance};
                }
                std::sort(sorted.begin(), sorted.end());
                std::vector<double> above(windows + 1, 0.0);  // above[i]: chance of sorted[i..]
                for (std::size_t i = windows; i-- > 0;) above[i] = above[i + 1] + sorted[i].second;
                const auto tail = [&](double s) {  // chance of a window scoring at least s
                    return above[std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(s, -1.0)) - sorted.begin()];
                };
                const double slack = 2 * m.grid.rounding + 1e-9;
                for (int sample = 0; sample < 2000; ++sample) {
                    const std::size_t w = sample < 4 ? (sample == 0 ? 0 : windows - sample) : random() % windows;
                    std::int64_t cell = 0;
                    for (std::size_t p = 0; p < width; ++p) cell += m.grid.cells[p][(w >> (2 * p)) & 3];
                    const double p = p_value(m.grid, cell);
                    ASSERT_LE(p, tail(scores[w] - slack) * (1 + 1e-9)) << "width " << width << ", window " << w;
                    ASSERT_GE(p, tail(scores[w] + slack) * (1 - 1e-9)) << "width " << width << ", window " << w;
                }
                // The best window's p-value is exactly its chance when it is unique.
                EXPECT_NEAR(p_value(m.grid, m.grid.lowest + static_cast<std::int64_t>(m.grid.tail.size()) - 1),
                            tail(sorted.back().first), 1e-15);
                // The coarse bound under the same background is below every
                // grid score whose tail is within p.
                for (const double p : {0.5, 1e-2, 1e-3}) {
                    const std::int64_t bound = lowest_cell_within(build_score_grid(file.scores, INT64_MAX, background), p);
                    const score_grid whole = build_score_grid(file.scores, INT64_MIN, background);
                    ASSERT_GT(p_value(whole, bound), p) << "width " << width << ", p " << p;
                }
            }
        }
    }
}

// A p-value threshold reports exactly the windows whose p-value is within it.
TEST(PValue, ThresholdsReportExactlyTheWindowsWithin) {
    std::mt19937_64 random(11);
    const std::string bases = random_bases(random, 20000);
    const motif file = random_matrix(random, 8, "TATAAAAG");
    const scan_matrix all = prepare_matrix(file, {false, 1.0});
    for (const double limit : {1.0, 1e-1, 1e-2, 1e-3, 1e-4}) {
        std::size_t within = 0;
        for (std::size_t start = 0; start + 8 <= bases.size(); ++start) {
            std::int64_t plus = 0, minus = 0;
            for (std::size_t p = 0; p < 8; ++p) {
                plus += all.grid.cells[p]["ACGT"s.find(bases[start + p])];
                minus += all.grid.cells[p][3 - "ACGT"s.find(bases[start + 7 - p])];
            }
            within += (p_value(all.grid, plus) <= limit) + (p_value(all.grid, minus) <= limit);
        }
        const std::string found = fast_scan(">r\n" + bases + "\n", {prepare_matrix(file, {false, limit})}, {});
        EXPECT_EQ(static_cast<std::size_t>(std::count(found.begin(), found.end(), '\n')), within) << limit;
    }
}

// A large grid: scores spread so widely that the step widens, and the
// widest matrix; the distribution still sums to 1 and falls from 1.
TEST(PValue, WideSpreadsAndWidthsGetACoarserGrid) {
    std::mt19937_64 random(3);
    for (const std::size_t width : {30, 1000}) {
        motif file = random_matrix(random, width, "");
        file.scores[0][1] = -5000;  // a spread no 0.001 grid can hold
        const scan_matrix m = prepare_matrix(file, {true, -1e12});
        EXPECT_GT(m.grid.step, 0.001);
        EXPECT_LE(m.grid.tail.size(), (std::size_t{1} << 21) + width + 1);
        EXPECT_NEAR(m.grid.tail.front(), 1.0, 1e-9);
        EXPECT_TRUE(std::is_sorted(m.grid.tail.rbegin(), m.grid.tail.rend()));
    }
}

// The grid's tail from a grid score on is the whole distribution's, bit
// for bit; and the coarse bound on the threshold is never above it.
TEST(PValue, PrunedTailsEqualTheWholeDistributions) {
    std::mt19937_64 random(15);
    for (int round = 0; round < 60; ++round) {
        const std::size_t width = 1 + random() % 25;
        const motif m = special_matrix(random, width, random_bases(random, width), round % 3);
        const score_grid whole = build_score_grid(m.scores);
        const std::int64_t highest = whole.lowest + static_cast<std::int64_t>(whole.tail.size()) - 1;
        for (int k = 0; k < 5; ++k) {
            const std::int64_t from = whole.lowest + static_cast<std::int64_t>(random() % whole.tail.size());
            const score_grid top = build_score_grid(m.scores, from);
            ASSERT_EQ(top.lowest, from);
            ASSERT_TRUE(std::equal(top.tail.begin(), top.tail.end(), whole.tail.begin() + (from - whole.lowest), whole.tail.end()))
                << "round " << round << ", from " << from;
            const double p = std::pow(10.0, -static_cast<double>(random() % 12)) * (1 + random() % 9);
            const std::int64_t bound = lowest_cell_within(build_score_grid(m.scores, INT64_MAX), p);
            ASSERT_GE(bound, whole.lowest);
            ASSERT_LE(bound, highest);
            if (p < 1) {
                ASSERT_GT(p_value(whole, bound), p) << "round " << round << ", p " << p;
            }
        }
        EXPECT_EQ(build_score_grid(m.scores, highest + 1000).tail.size(), 1u);
    }
}

}  // namespace
